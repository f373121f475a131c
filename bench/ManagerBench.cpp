// The manager window and the host's class tree on the firm-sized catalogue: opening the window,
// GetDocList, a refresh with every node open, and the list of a large class from a mouse click
// until it has painted.
#include "Bench.h"
#include "catalogue/ClassCatalogue.h"
#include "catalogue/Sql.h"
#include "catalogue/TemplateDocuments.h"
#include "catalogue/TemplateFiles.h"
#include "catalogue/TemplateStore.h"
#include "ui/ManagerWindow.h"
#include "widgets/TreeNodes.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>
#include <QTreeWidget>

#include <memory>

namespace zq::bench {

namespace {

constexpr int kRuns = 3;

const QString kClassTable =
    QStringLiteral("select DocSortID, DocSortName, DocSortMemo from ZQ_DocInfoMaster");

// Each row of the list as its texts, in order.
QStringList listTexts(const QTreeView* list) {
    const QAbstractItemModel* rows = list->model();
    QStringList texts;
    for (int i = 0; i < rows->rowCount(); ++i) {
        QStringList cells;
        for (int column : {kColCaption, kColMemo, kColClassName, kColRowId})
            cells.append(rows->index(i, column).data().toString());
        cells.append(rows->index(i, 0).data(kImageRole).toString());
        texts.append(cells.join('|'));
    }
    return texts;
}

QStringList contentTexts(const ClassContents& contents) {
    QStringList texts;
    for (const ClassRecord& c : contents.classes)
        texts.append(c.name + '|' + c.memo + '|' + '|' + c.code + '|' +
                     QString::number(kClassImage));
    for (const ListedTemplate& t : contents.templates)
        texts.append(t.record.caption + '|' + t.record.memo + '|' + t.className + '|' +
                     QString::number(t.record.docId) + '|' + QString::number(kTemplateImage));
    return texts;
}

QStringList expandedCodes(const QTreeWidget* tree) {
    QStringList codes;
    for (const QTreeWidgetItem* item : treeItems(tree))
        if (item->isExpanded())
            codes.append(nodeClassCode(item));
    return codes;
}

std::unique_ptr<ManagerWindow> openPainted(const QSqlDatabase& db) {
    auto window = std::make_unique<ManagerWindow>(nullptr, db);
    showPainted(window.get());
    return window;
}

double openWindowMs(const QSqlDatabase& db, std::unique_ptr<ManagerWindow>& window) {
    resetPeakMemory();
    return bestMs(
        kRuns, [&] { window.reset(); }, [&] { window = openPainted(db); });
}

// A file in the store for every template, each kept by the catalogue too (as after an
// import); answers how many were written.
int fillStore(const QSqlDatabase& db) {
    const QString store = templateStorePath();
    QDir().mkpath(store);
    QSqlQuery names = runSql(db, QStringLiteral("select DocFileName from ZQ_DocTempDetail"));
    int written = 0;
    while (names.next()) {
        const QString name = names.value(0).toString();
        QFile file(storedFilePath(name));
        if (!isBareName(name) || !file.open(QIODevice::WriteOnly))
            continue;
        file.write(name.toUtf8());
        ++written;
    }
    uploadMissingFilesOnce(db, store);
    return written;
}

// Open again with a file in the store for every template: opening lists nothing of the
// store, so it costs what it did.
bool openWithStoreFiles(const QSqlDatabase& db, std::unique_ptr<ManagerWindow>& window,
                        double classBaseline, const QByteArray& managerTree) {
    const QTemporaryDir host;
    setHostFolder(host.path());
    const auto back = qScopeGuard([] { setHostFolder({}); });
    const int written = fillStore(db);
    const double ms = openWindowMs(db, window);
    const bool agrees = treeDigest(window->classTree()) == managerTree;
    printGoalRow(qPrintable(QStringLiteral("open with %1 files in the store").arg(written)), ms,
                 classBaseline, 10, agrees);
    window.reset();
    runSql(db, QStringLiteral("delete from ZQ_DocTemplateFile"));
    runSql(db, QStringLiteral("delete from ZQ_DocTemplateSetting"));
    return agrees;
}

// GetDocList into a host tree: the same whole tree as the window's.
bool hostTree(const QSqlDatabase& db, double classBaseline, const QByteArray& managerTree) {
    resetPeakMemory();
    std::unique_ptr<QTreeWidget> tree;
    const double ms = bestMs(
        kRuns, [&] { tree = std::make_unique<QTreeWidget>(); },
        [&] {
            loadClassTree(tree.get(), db);
            showPainted(tree.get());
        });
    const bool agrees = treeDigest(tree.get()) == managerTree &&
                        treeItems(tree.get()).size() == catalogueScale().classes + 12;
    tree.reset();
    printGoalRow("GetDocList into a host tree", ms, classBaseline, 10, agrees);
    return agrees;
}

// Refresh keeping the view with every node open: the same tree, open the same way.
bool refreshAllOpen(ManagerWindow* window, double classBaseline, const QByteArray& managerTree) {
    resetPeakMemory();
    window->classTree()->expandAll();
    QApplication::processEvents();
    const QStringList open = expandedCodes(window->classTree());
    const double ms = bestMs(kRuns, [&] {
        window->action(ManagerAction::Refresh)->trigger();
        showPainted(window);
    });
    const bool agrees = treeDigest(window->classTree()) == managerTree &&
                        expandedCodes(window->classTree()) == open;
    printGoalRow("refresh, every node open", ms, classBaseline, 40, agrees);
    return agrees;
}

// The list of the large class, from a mouse click on its node until painted.
bool clickLargeClass(const QSqlDatabase& db, ManagerWindow* window) {
    QTreeWidget* tree = window->classTree();
    QTreeWidgetItem* root = tree->topLevelItem(0);
    QTreeWidgetItem* large = nullptr;
    for (int i = 0; i < root->childCount(); ++i)
        if (nodeClassCode(root->child(i)) == kLargeClassCode)
            large = root->child(i);
    const double listBaseline = bareSelectMs(
        db,
        QStringLiteral("select DocID, DocCaption, DocMemo, DocFileName, DocTypeName, DocSortID "
                       "from ZQ_DocTempDetail where DocSortID = ?"),
        {kLargeClassCode});
    resetPeakMemory();
    StatementCounter counter(db);
    const double ms = bestMs(
        kRuns,
        [&] {
            tree->setCurrentItem(root);
            tree->scrollToItem(large);
            QApplication::processEvents();
            counter.reset();
        },
        [&] {
            QTest::mouseClick(tree->viewport(), Qt::LeftButton, {},
                              tree->visualItemRect(large).center());
            QApplication::processEvents();
            window->docList()->repaint();
        });
    const QString clickStatements = counter.text();
    const bool agrees =
        tree->currentItem() == large &&
        contentTexts(readClassContents(db, kLargeClassCode)) == listTexts(window->docList());
    printGoalRow(qPrintable(QStringLiteral("list of a class of %1, by click (%2 stmts)")
                                .arg(kLargeClassTemplates)
                                .arg(clickStatements)),
                 ms, listBaseline, 10, agrees);
    return agrees;
}

} // namespace

bool managerBench(const Engine& engine) {
    useLargeCatalogue(engine);
    const QSqlDatabase& db = engine.db;
    const double classBaseline = bareSelectMs(db, kClassTable);
    printGoalHeader(engine, "Manager window and host tree");

    // Open the window: the tree and the root's list shown.
    std::unique_ptr<ManagerWindow> window;
    const double ms = openWindowMs(db, window);
    const QByteArray managerTree = treeDigest(window->classTree());
    bool allAgree = contentTexts(readClassContents(db, QString())) == listTexts(window->docList());
    printGoalRow("open the manager window", ms, classBaseline, 30, allAgree);

    allAgree = openWithStoreFiles(db, window, classBaseline, managerTree) && allAgree;
    window = std::make_unique<ManagerWindow>(nullptr, db);
    allAgree = hostTree(db, classBaseline, managerTree) && allAgree;
    allAgree = refreshAllOpen(window.get(), classBaseline, managerTree) && allAgree;
    window.reset();
    window = openPainted(db);
    return clickLargeClass(db, window.get()) && allAgree;
}

} // namespace zq::bench
