// The peak memory of the dialogs that show the whole catalogue in a tree: the batch
// registration dialog and the package export dialog, each opened alone, then its root ticked
// and the large class opened.
// Their memory should follow what they show, not the number of templates (run it with
// --scale 10000:300000 to see).
#include "Bench.h"
#include "catalogue/TemplateDocuments.h"
#include "registration/BatchRegisterDialog.h"
#include "ui/PackageExportDialog.h"
#include "widgets/TreeNodes.h"

#include <QTreeWidget>

#include <malloc.h>
#include <memory>

namespace zq::bench {

namespace {

// The root and every class are in the tree, whatever else is.
bool holdsEveryClass(const QTreeWidget* tree) {
    const QList<QTreeWidgetItem*> items = treeItems(tree);
    return std::count_if(items.begin(), items.end(), [](const QTreeWidgetItem* item) {
               return imageIndex(item) == kClassImage;
           }) == 1 + catalogueScale().classes + 11;
}

// Opens the dialog, then ticks its root, each step a row with the peak memory it reached; the
// dialog is gone and its memory given back before the next case.
template <typename Dialog>
bool measure(const QSqlDatabase& db, const char* name, double baselineMs) {
    malloc_trim(0);
    resetPeakMemory();
    std::printf("%-36s %9s %12s %8s %6s %4s %8.0f\n", "(resident before)", "", "", "", "", "",
                residentMb());
    std::unique_ptr<Dialog> dialog;
    const double showMs = bestMs(1, [&] {
        dialog = std::make_unique<Dialog>(nullptr, db);
        showPainted(dialog.get());
    });
    QTreeWidget* tree = dialog->template findChild<QTreeWidget*>();
    const bool whole = holdsEveryClass(tree);
    printGoalRow(qPrintable(QStringLiteral("open the %1").arg(QLatin1String(name))), showMs,
                 baselineMs, 0, whole);

    QTreeWidgetItem* root = tree->topLevelItem(0);
    const double tickMs = bestMs(1, [&] {
        root->setCheckState(0, Qt::Checked);
        showPainted(dialog.get());
    });
    const bool ticked = root->checkState(0) == Qt::Checked;
    printGoalRow("  and tick its root", tickMs, baselineMs, 0, ticked);

    // Its templates come with the root's tick, in one statement.
    QTreeWidgetItem* large = nullptr;
    // A template's record may read like that class's code.
    for (int i = 0; i < root->childCount(); ++i)
        if (imageIndex(root->child(i)) == kClassImage &&
            nodeClassCode(root->child(i)) == kLargeClassCode)
            large = root->child(i);
    StatementCounter counter(db);
    const double openMs = bestMs(1, [&] {
        large->setExpanded(true);
        showPainted(dialog.get());
    });
    // Its ten sub-classes, then its templates.
    const bool filled = large->childCount() == 10 + kLargeClassTemplates &&
                        large->child(large->childCount() - 1)->checkState(0) == Qt::Checked;
    printGoalRow(qPrintable(QStringLiteral("  and open a class of %1 (%2 stmts)")
                                .arg(kLargeClassTemplates)
                                .arg(counter.text())),
                 openMs, baselineMs, 0, filled);
    dialog.reset();
    return whole && ticked && filled;
}

} // namespace

bool dialogMemoryBench(const Engine& engine) {
    useLargeCatalogue(engine);
    // The classes alone: what the dialogs show when they open.
    const double classes = bareSelectMs(
        engine.db,
        QStringLiteral("select DocSortID, DocSortName, DocSortMemo from ZQ_DocInfoMaster"));
    printGoalHeader(engine, "Peak memory of the catalogue dialogs");
    const bool batch =
        measure<BatchRegisterDialog>(engine.db, "batch registration dialog", classes);
    const bool exporting =
        measure<PackageExportDialog>(engine.db, "package export dialog", classes);
    return batch && exporting;
}

} // namespace zq::bench
