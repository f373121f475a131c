// The registration dialogs on the firm-sized catalogue, and the memory the manager window and
// the batch dialog hold when open together.
#include "Bench.h"
#include "catalogue/Sql.h"
#include "registration/BatchRegisterDialog.h"
#include "registration/RegisterTemplateDialog.h"
#include "ui/ManagerWindow.h"
#include "widgets/TreeNodes.h"

#include <QTreeWidget>

#include <memory>

namespace zq::bench {

namespace {

constexpr int kRuns = 3;

// The dialog's tree with the check states left out: both dialogs list the same catalogue.
QByteArray plainDigest(QTreeWidget* tree) {
    QTreeWidget copy;
    QList<QTreeWidgetItem*> items;
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        items.append(tree->topLevelItem(i)->clone());
    copy.addTopLevelItems(items);
    for (QTreeWidgetItem* item : treeItems(&copy))
        item->setData(0, Qt::CheckStateRole, QVariant());
    return treeDigest(&copy);
}

template <typename Dialog>
double openDialogMs(const QSqlDatabase& db, std::unique_ptr<Dialog>& dialog) {
    return bestMs(
        kRuns, [&] { dialog.reset(); },
        [&] {
            dialog = std::make_unique<Dialog>(nullptr, db);
            showPainted(dialog.get());
        });
}

} // namespace

bool registrationBench(const Engine& engine) {
    useLargeCatalogue(engine);
    const QSqlDatabase& db = engine.db;
    // The dialogs open with the classes and the root's templates; a class's come when opened.
    const double shownRows =
        bareSelectMs(db, QStringLiteral(
                             "select DocSortID, DocSortName, DocSortMemo from ZQ_DocInfoMaster")) +
        bareSelectMs(db,
                     QStringLiteral("select DocID, DocCaption, DocFileName, DocMemo, "
                                    "DocTypeName, DocKeyWord, DocSortID from ZQ_DocTempDetail "
                                    "where DocSortID = ?"),
                     {QString()});
    printGoalHeader(engine, "Registration dialogs");
    const int listed =
        1 + catalogueScale().classes + 11 +
        sqlValue(db, QStringLiteral("select count(*) from ZQ_DocTempDetail where DocSortID = ''"))
            .toInt();

    resetPeakMemory();
    std::unique_ptr<BatchRegisterDialog> batch;
    const double batchMs = openDialogMs(db, batch);
    QTreeWidget* batchTree = batch->findChild<QTreeWidget*>();
    const QList<QTreeWidgetItem*> batchItems = treeItems(batchTree);
    bool agrees =
        batchItems.size() == listed &&
        std::all_of(batchItems.begin(), batchItems.end(), [](const QTreeWidgetItem* item) {
            return item->checkState(0) == Qt::Unchecked &&
                   item->flags().testFlag(Qt::ItemIsUserCheckable);
        });
    printGoalRow("batch registration dialog", batchMs, shownRows, 15, agrees);

    // The manager window and the batch dialog open at once.
    resetPeakMemory();
    auto window = std::make_unique<ManagerWindow>(nullptr, db);
    showPainted(window.get());
    showPainted(batch.get());
    printMemoryRow("manager and batch dialog open", 300);
    window.reset();

    resetPeakMemory();
    std::unique_ptr<RegisterTemplateDialog> single;
    const double singleMs = openDialogMs(db, single);
    const bool same = plainDigest(single->findChild<QTreeWidget*>()) == plainDigest(batchTree);
    printGoalRow("single registration dialog", singleMs, shownRows, 15, same);

    return agrees && same;
}

} // namespace zq::bench
