// Fills of the trees and the list at two sizes of catalogue: the same statements whatever the
// number of rows, and one shared icon per kind of node.
#include "BenchData.h"
#include "WindowFixture.h"
#include "catalogue/Sql.h"
#include "catalogue/TemplateDocuments.h"
#include "catalogue/TemplateStore.h"
#include "registration/BatchRegisterDialog.h"
#include "registration/RegisterTemplateDialog.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QTest>

#include <functional>

using namespace zq;
using zq::test::WindowFixture;

namespace {

// The statements a fill runs on a generated catalogue of the given size, with a file in the
// store (other tests come and go there), so that opening the manager asks about it.
qint64 statementsOf(int classes, int templates, const std::function<void(WindowFixture&)>& fill) {
    WindowFixture f;
    bench::generateCatalogue(f.catalogue.db(), classes, templates);
    QDir().mkpath(templateStorePath());
    QFile stray(templateStorePath() +
                QStringLiteral("fills-%1.doc").arg(QCoreApplication::applicationPid()));
    const auto removeStray = qScopeGuard([&] { stray.remove(); });
    if (!stray.open(QIODevice::WriteOnly))
        return -1;
    const bench::StatementCounter counter(f.catalogue.db());
    fill(f);
    return counter.count();
}

// The icons in the first cells, by image index: how many distinct ones each index has.
QMap<int, QSet<qint64>> iconsByImage(const QModelIndexList& cells) {
    QMap<int, QSet<qint64>> icons;
    for (const QModelIndex& cell : cells)
        icons[cell.data(kImageRole).toInt()].insert(
            cell.data(Qt::DecorationRole).value<QIcon>().cacheKey());
    return icons;
}

QModelIndexList treeCells(const QTreeWidget* tree) {
    QModelIndexList cells;
    for (const QTreeWidgetItem* item : treeItems(tree))
        cells.append(tree->indexFromItem(item));
    return cells;
}

QModelIndexList listCells(const QTreeView* list) {
    QModelIndexList cells;
    for (int i = 0; i < list->model()->rowCount(); ++i)
        cells.append(list->model()->index(i, 0));
    return cells;
}

} // namespace

class TestFills : public QObject {
    Q_OBJECT

private slots:
    void sameStatementsWhateverTheSize_data() {
        QTest::addColumn<std::function<void(WindowFixture&)>>("fill");
        QTest::addColumn<qint64>("expected");
        QTest::newRow("class tree") << std::function<void(WindowFixture&)>([](WindowFixture& f) {
            QTreeWidget tree;
            loadClassTree(&tree, f.catalogue.db());
        }) << qint64(1);
        // Tree, the root's list and the files the catalogue keeps for it; an embedded catalogue
        // has no store files to send at the first open. Each window also reads the file's data
        // version once, to notice other programs' commits from then on, and the manager looks
        // for the search keys' table and its index.
        QTest::newRow("manager window: tree and the root's list")
            << std::function<void(WindowFixture&)>([](WindowFixture& f) { f.open(); }) << qint64(7);
        QTest::newRow("registration dialog")
            << std::function<void(WindowFixture&)>([](WindowFixture& f) {
                   RegisterTemplateDialog dialog(nullptr, f.catalogue.db());
               })
            << qint64(3);
        QTest::newRow("batch registration dialog")
            << std::function<void(WindowFixture&)>(
                   [](WindowFixture& f) { BatchRegisterDialog dialog(nullptr, f.catalogue.db()); })
            << qint64(3);
    }
    void sameStatementsWhateverTheSize() {
        if (qEnvironmentVariableIsSet("ZQ_TEST_DATABASE"))
            QSKIP("only SQLite counts the statements it runs");
        QFETCH(std::function<void(WindowFixture&)>, fill);
        QFETCH(qint64, expected);
        QCOMPARE(statementsOf(20, 100, fill), expected);
        QCOMPARE(statementsOf(400, 4000, fill), expected);
    }

    // Once a catalogue's store was looked through, opening the manager asks the same whatever
    // the store holds, also files whose bytes the catalogue lacks.
    void reopeningDoesNotGrowWithTheStore() {
        if (qEnvironmentVariableIsSet("ZQ_TEST_DATABASE"))
            QSKIP("only SQLite counts the statements it runs");
        WindowFixture f;
        bench::generateCatalogue(f.catalogue.db(), 20, 100);
        QDir().mkpath(templateStorePath());
        f.open();
        const auto reopen = [&] {
            const bench::StatementCounter counter(f.catalogue.db());
            f.open();
            return counter.count();
        };
        const qint64 asked = reopen();
        QStringList names;
        QSqlQuery rows =
            runSql(f.catalogue.db(), "select distinct DocFileName from ZQ_DocTempDetail "
                                     "where DocFileName <> ''");
        while (rows.next())
            names.append(rows.value(0).toString());
        rows.finish();
        QVERIFY(!names.isEmpty());
        const auto removeFiles = qScopeGuard([&] {
            for (const QString& name : std::as_const(names))
                QFile::remove(storedFilePath(name));
        });
        for (const QString& name : std::as_const(names))
            QVERIFY(QFile(storedFilePath(name)).open(QIODevice::WriteOnly));
        QCOMPARE(reopen(), asked);
        QCOMPARE(f.catalogue.count("ZQ_DocTemplateFile"), 0);
    }

    // A click on a class lists it once: the selection change fills the list, the click
    // that follows does not fill it again. A click on the selected class reads it again.
    void aClickFillsTheListOnce() {
        if (qEnvironmentVariableIsSet("ZQ_TEST_DATABASE"))
            QSKIP("only SQLite counts the statements it runs");
        WindowFixture f;
        bench::generateCatalogue(f.catalogue.db(), 50, 500);
        f.open().show();
        QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
        QTreeWidgetItem* node = f.tree()->topLevelItem(0)->child(0);
        const bench::StatementCounter counter(f.catalogue.db());
        const auto click = [&] {
            QTest::mouseClick(f.tree()->viewport(), Qt::LeftButton, {},
                              f.tree()->visualItemRect(node).center());
        };
        click();
        QCOMPARE(f.tree()->currentItem(), node);
        QCOMPARE(counter.count(), 3);
        click();
        QCOMPARE(counter.count(), 6);
    }

    void nodesShareOneIconPerKind() {
        WindowFixture f;
        bench::generateCatalogue(f.catalogue.db(), 300, 3000);
        f.open();
        const QMap<int, QSet<qint64>> tree = iconsByImage(treeCells(f.tree()));
        QCOMPARE(tree.keys(), QList<int>{kClassImage});
        QCOMPARE(tree[kClassImage].size(), 1);

        f.tree()->setCurrentItem(f.tree()->topLevelItem(0)->child(0));
        const QMap<int, QSet<qint64>> list = iconsByImage(listCells(f.list()));
        QCOMPARE(list.keys(), (QList<int>{kClassImage, kTemplateImage}));
        QVERIFY(list[kTemplateImage].size() <= 2); // a stored file, or a greyed one gone

        QCOMPARE(list[kClassImage], tree[kClassImage]);

        BatchRegisterDialog dialog(nullptr, f.catalogue.db());
        const QMap<int, QSet<qint64>> batch =
            iconsByImage(treeCells(dialog.findChild<QTreeWidget*>()));
        QCOMPARE(batch.keys(), (QList<int>{kCatalogueTemplateImage, kClassImage}));
        QCOMPARE(batch[kCatalogueTemplateImage].size(), 1);
        QCOMPARE(batch[kClassImage], tree[kClassImage]);
    }
};

QTEST_MAIN(TestFills)
#include "tst_fills.moc"
