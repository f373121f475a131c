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

} // namespace

bool managerBench(const Engine& engine) {
    useLargeCatalogue(engine);
    const QSqlDatabase& db = engine.db;
    const double classBaseline = bareSelectMs(db, kClassTable);
    printGoalHeader(engine, "Manager window and host tree");
    bool allAgree = true;
    std::unique_ptr<ManagerWindow> window;

    // Open the window: the tree and the root's list shown.
    resetPeakMemory();
    double ms = bestMs(
        kRuns, [&] { window.reset(); },
        [&] {
            window = std::make_unique<ManagerWindow>(nullptr, db);
            showPainted(window.get());
        });
    const QByteArray managerTree = treeDigest(window->classTree());
    bool agrees = contentTexts(readClassContents(db, QString())) == listTexts(window->docList());
    allAgree = allAgree && agrees;
    printGoalRow("open the manager window", ms, classBaseline, 30, agrees);

    // Open again with a file in the store for every template, each kept by the catalogue too
    // (as after an import): opening lists nothing of the store, so it costs what it did.
    {
        const QTemporaryDir host;
        setHostFolder(host.path());
        const auto back = qScopeGuard([] { setHostFolder({}); });
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
        resetPeakMemory();
        const double full = bestMs(
            kRuns, [&] { window.reset(); },
            [&] {
                window = std::make_unique<ManagerWindow>(nullptr, db);
                showPainted(window.get());
            });
        const bool same = treeDigest(window->classTree()) == managerTree;
        allAgree = allAgree && same;
        printGoalRow(qPrintable(QStringLiteral("open with %1 files in the store").arg(written)),
                     full, classBaseline, 10, same);
        window.reset();
        runSql(db, QStringLiteral("delete from ZQ_DocTemplateFile"));
        runSql(db, QStringLiteral("delete from ZQ_DocTemplateSetting"));
    }
    window = std::make_unique<ManagerWindow>(nullptr, db);

    // GetDocList into a host tree: the same whole tree as the window's.
    resetPeakMemory();
    std::unique_ptr<QTreeWidget> hostTree;
    ms = bestMs(
        kRuns, [&] { hostTree = std::make_unique<QTreeWidget>(); },
        [&] {
            loadClassTree(hostTree.get(), db);
            showPainted(hostTree.get());
        });
    agrees = treeDigest(hostTree.get()) == managerTree &&
             treeItems(hostTree.get()).size() == catalogueScale().classes + 12;
    allAgree = allAgree && agrees;
    hostTree.reset();
    printGoalRow("GetDocList into a host tree", ms, classBaseline, 10, agrees);

    // Refresh keeping the view with every node open: the same tree, open the same way.
    resetPeakMemory();
    window->classTree()->expandAll();
    QApplication::processEvents();
    const QStringList open = expandedCodes(window->classTree());
    ms = bestMs(kRuns, [&] {
        window->action(ManagerAction::Refresh)->trigger();
        showPainted(window.get());
    });
    agrees = treeDigest(window->classTree()) == managerTree &&
             expandedCodes(window->classTree()) == open;
    allAgree = allAgree && agrees;
    printGoalRow("refresh, every node open", ms, classBaseline, 40, agrees);

    // The list of the large class, from a mouse click on its node until painted.
    window.reset();
    window = std::make_unique<ManagerWindow>(nullptr, db);
    showPainted(window.get());
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
    ms = bestMs(
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
    agrees = tree->currentItem() == large &&
             contentTexts(readClassContents(db, kLargeClassCode)) == listTexts(window->docList());
    allAgree = allAgree && agrees;
    printGoalRow(qPrintable(QStringLiteral("list of a class of %1, by click (%2 stmts)")
                                .arg(kLargeClassTemplates)
                                .arg(clickStatements)),
                 ms, listBaseline, 10, agrees);
    return allAgree;
}

} // namespace zq::bench
