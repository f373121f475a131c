#include "BenchData.h"
#include "HostDatabase.h"
#include "TestCatalogue.h"
#include "catalogue/ClassCatalogue.h"
#include "catalogue/NodeRecords.h"
#include "catalogue/Sql.h"
#include "widgets/TreeNodes.h"

#include <QTest>
#include <QTreeWidget>

using namespace zq;
using zq::test::TestCatalogue;

namespace {

// "text(child child)" for every item, top level items separated by blanks; the root shows as R.
QString shape(const QTreeWidgetItem* item) {
    QString text = item->text(0) == rootNodeText() ? QStringLiteral("R") : item->text(0);
    if (item->childCount() == 0)
        return text;
    QStringList children;
    for (int i = 0; i < item->childCount(); ++i)
        children.append(shape(item->child(i)));
    return text + '(' + children.join(' ') + ')';
}

QString shape(const QTreeWidget& tree) {
    QStringList top;
    for (int i = 0; i < tree.topLevelItemCount(); ++i)
        top.append(shape(tree.topLevelItem(i)));
    return top.join(' ');
}

} // namespace

class TestClassTree : public QObject {
    Q_OBJECT

private slots:
    void loadClassTree_data() {
        QTest::addColumn<QStringList>("codes");
        QTest::addColumn<QString>("expected");
        QTest::newRow("empty table") << QStringList{} << "R";
        QTest::newRow("well formed")
            << QStringList{"0001", "00010001", "00010002", "0002", "00020001"}
            << "R(0001(00010001 00010002) 0002(00020001))";
        QTest::newRow("missing parent")
            << QStringList{"0001", "000100020001", "00010003"} << "R(0001(000100020001) 00010003)";
        QTest::newRow("short code beside the root") << QStringList{"0001", "01"} << "R(0001) 01";
        QTest::newRow("up past the root")
            << QStringList{"000100010001", "0002", "0003"} << "R(000100010001) 0002 0003";
    }
    void loadClassTree() {
        QFETCH(QStringList, codes);
        QFETCH(QString, expected);
        TestCatalogue catalogue;
        for (const QString& code : codes)
            catalogue.addClass(code, code, "说明" + code);
        QTreeWidget tree;
        new QTreeWidgetItem(&tree, {"stale"});
        zq::loadClassTree(&tree, catalogue.db());
        QCOMPARE(shape(tree), expected);
    }

    void nodesCarryRecordsAndImages() {
        TestCatalogue catalogue;
        catalogue.addClass("0001", "审计计划", "计划类");
        catalogue.addClass("00010001", "总体计划");
        QTreeWidget tree;
        zq::loadClassTree(&tree, catalogue.db());
        QTreeWidgetItem* root = tree.topLevelItem(0);
        QCOMPARE(nodeRecord(root), (QStringList{"", "", ""}));
        QCOMPARE(imageIndex(root), 10);
        QTreeWidgetItem* plan = root->child(0);
        QCOMPARE(nodeRecord(plan), (QStringList{"0001", "审计计划", "计划类"}));
        QCOMPARE(imageIndex(plan), 10);
        QVERIFY(!plan->icon(0).isNull());

        QCOMPARE(classPathText(nullptr), QString());
        QCOMPARE(classPathText(root), QString("\\文档模板分类信息"));
        QCOMPARE(classPathText(plan->child(0)), QString("\\文档模板分类信息\\审计计划\\总体计划"));
    }

    void selectionTreeRecordsHoldTheClassInTheDocumentFields() {
        TestCatalogue catalogue;
        catalogue.addClass("0001", "审计计划", "计划类");
        QTreeWidget tree;
        zq::loadClassTree(&tree, catalogue.db(), ClassRecordForm::TemplateRecord);
        const TemplateRecord info =
            TemplateRecord::fromList(nodeRecord(tree.topLevelItem(0)->child(0)));
        QCOMPARE(info.classCode, QString("0001"));
        QCOMPARE(info.caption, QString("审计计划"));
        QCOMPARE(info.memo, QString("计划类"));
        QCOMPARE(nodeClassCode(tree.topLevelItem(0)->child(0)), QString("0001"));
        QCOMPARE(nodeRecord(tree.topLevelItem(0)).size(), 7);
    }

    // The benchmark's catalogue: every class under its parent, five levels at most, the same
    // catalogue for the same seed.
    void generatedCatalogueIsAWellFormedTree() {
        TestCatalogue catalogue;
        bench::generateCatalogue(catalogue.db(), 600, 3000, 7);
        QCOMPARE(catalogue.count("ZQ_DocInfoMaster"), 600);
        QCOMPARE(catalogue.count("ZQ_DocTempDetail"), 3000);
        QTreeWidget tree;
        zq::loadClassTree(&tree, catalogue.db());
        QCOMPARE(tree.topLevelItemCount(), 1);
        int deepest = 0;
        for (const QTreeWidgetItem* item : treeItems(&tree)) {
            const QString code = nodeClassCode(item);
            if (item->parent())
                QCOMPARE(nodeClassCode(item->parent()), parentClassCode(code));
            deepest = std::max(deepest, classCodeDepth(code));
        }
        QCOMPARE(deepest, 5);
        const auto templateRows = [&catalogue] {
            QSqlQuery query = runSql(catalogue.db(), "select DocCaption, DocSortID, DocFileName "
                                                     "from ZQ_DocTempDetail order by DocCaption");
            QStringList rows;
            while (query.next())
                rows.append(query.value(0).toString() + '|' + query.value(1).toString() + '|' +
                            query.value(2).toString());
            return rows;
        };
        const QStringList first = templateRows();
        QVERIFY(!first.filter("||").isEmpty()); // some lie in the root
        corvane::clearCatalogue(catalogue.db());
        bench::generateCatalogue(catalogue.db(), 600, 3000, 7);
        QCOMPARE(templateRows(), first);
    }
};

QTEST_MAIN(TestClassTree)
#include "tst_classtree.moc"
