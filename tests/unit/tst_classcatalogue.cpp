#include "TestCatalogue.h"
#include "catalogue/ClassCatalogue.h"
#include "catalogue/Sql.h"
#include "catalogue/TemplateDocuments.h"
#include "util/Error.h"

#include <QTest>

using namespace zq;
using zq::test::TestCatalogue;

class TestClassCatalogue : public QObject {
    Q_OBJECT

private slots:
    void codeDepthAndParent_data() {
        QTest::addColumn<QString>("code");
        QTest::addColumn<int>("depth");
        QTest::addColumn<QString>("parent");
        QTest::newRow("root") << "" << 0 << "";
        QTest::newRow("short") << "001" << 0 << "";
        QTest::newRow("top level") << "0001" << 1 << "";
        QTest::newRow("nine characters") << "000100021" << 2 << "00010";
        QTest::newRow("third level") << "000100020003" << 3 << "00010002";
    }
    void codeDepthAndParent() {
        QFETCH(QString, code);
        QFETCH(int, depth);
        QFETCH(QString, parent);
        QCOMPARE(classCodeDepth(code), depth);
        QCOMPARE(parentClassCode(code), parent);
    }

    void newChildClassCode_data() {
        QTest::addColumn<QStringList>("existing");
        QTest::addColumn<QString>("parent");
        QTest::addColumn<QString>("expected");
        QTest::newRow("no classes") << QStringList{} << ""
                                    << "0001";
        QTest::newRow("gap at two") << QStringList{"0001", "0003"} << ""
                                    << "0002";
        QTest::newRow("first missing") << QStringList{"0002"} << ""
                                       << "0001";
        QTest::newRow("gap in a run") << QStringList{"0001", "0002", "0004"} << ""
                                      << "0003";
        QTest::newRow("after a run") << QStringList{"0001", "0002", "0003", "0004", "0005"} << ""
                                     << "0006";
        QStringList nine{"0007"};
        for (int i = 1; i <= 9; ++i)
            nine.append(QStringLiteral("0007%1").arg(i, 4, 10, QLatin1Char('0')));
        QTest::newRow("tenth child") << nine << "0007"
                                     << "00070010";
        QTest::newRow("grandchildren ignored")
            << QStringList{"0001", "00010001", "000100010001"} << "0001"
            << "00010002";
        QTest::newRow("other parent ignored") << QStringList{"0001", "0002", "00020001"} << "0001"
                                              << "00010001";
    }
    void newChildClassCode() {
        QFETCH(QStringList, existing);
        QFETCH(QString, parent);
        QFETCH(QString, expected);
        TestCatalogue catalogue;
        for (const QString& code : existing)
            catalogue.addClass(code, "类" + code);
        QCOMPARE(zq::newChildClassCode(catalogue.db(), parent), expected);
    }

    void newChildClassCodeRefusesAFullParentAndBadCodes() {
        TestCatalogue catalogue;
        {
            Transaction transaction(catalogue.db());
            for (int i = 1; i <= 9999; ++i)
                catalogue.addClass(QStringLiteral("0001%1").arg(i, 4, 10, QLatin1Char('0')), "子");
            transaction.commit();
        }
        QVERIFY_THROWS_EXCEPTION(Error, zq::newChildClassCode(catalogue.db(), "0001"));
        catalogue.addClass("00AB", "坏编码");
        catalogue.addClass("0001", "好编码");
        QVERIFY_THROWS_EXCEPTION(Error, zq::newChildClassCode(catalogue.db(), ""));
    }

    void insertClassStoresTextsAsTyped() {
        TestCatalogue catalogue;
        insertClass(catalogue.db(), "0001", "  O'Brien 的\"类\"  ", " 说明'); drop table x; -- ");
        const QList<ClassRecord> rows = readClassRows(catalogue.db());
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows[0].name, QString("O'Brien 的\"类\""));
        QCOMPARE(rows[0].memo, QString("说明'); drop table x; --"));
        QCOMPARE(classNameOfCode(catalogue.db(), "0001"), QString("O'Brien 的\"类\""));
        QCOMPARE(classNameOfCode(catalogue.db(), "0002"), QString());
        QCOMPARE(classNameOfCode(catalogue.db(), ""), QString());
    }

    // Two workstations that computed the same code: the second insert fails, and adding takes
    // the next free code instead.
    void aTakenCodeIsRefusedAndAddingTakesTheNextOne() {
        TestCatalogue catalogue;
        catalogue.addClass("0001", "甲");
        const QString stale = "0002";
        catalogue.addClass(stale, "别的工作站");
        QVERIFY_THROWS_EXCEPTION(Error, insertClass(catalogue.db(), stale, "乙", ""));
        QCOMPARE(addChildClass(catalogue.db(), "", "乙", "", stale), QString("0003"));
        QCOMPARE(classNameOfCode(catalogue.db(), "0003"), QString("乙"));
        QCOMPARE(catalogue.count("ZQ_DocInfoMaster"), 3);
    }

    void deleteEmptyClassTree() {
        TestCatalogue catalogue;
        for (const char* code : {"0001", "00010001", "000100010001", "0002", "00020001"})
            catalogue.addClass(code, code);
        catalogue.addTemplate("底稿", "000100010001");
        QVERIFY(classTreeHasTemplates(catalogue.db(), "0001"));
        QVERIFY(!zq::deleteEmptyClassTree(catalogue.db(), "0001"));
        QCOMPARE(catalogue.count("ZQ_DocInfoMaster"), 5);

        QVERIFY(zq::deleteEmptyClassTree(catalogue.db(), "0002"));
        QCOMPARE(catalogue.count("ZQ_DocInfoMaster"), 3);
        QVERIFY(classExists(catalogue.db(), "0001"));
        QVERIFY(!classExists(catalogue.db(), "00020001"));
        QVERIFY(!zq::deleteEmptyClassTree(catalogue.db(), ""));
    }

    void classContents_data() {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QStringList>("rows"); // caption|class name|image
        QTest::newRow("root") << "" << QStringList{"审计计划||10", "审计报告||10", "根下模板||11"};
        QTest::newRow("class") << "0001"
                               << QStringList{"总体计划||10", "计划模板|审计计划|11",
                                              "无文件|审计计划|10"};
        QTest::newRow("empty class") << "0002" << QStringList{};
    }
    void classContents() {
        QFETCH(QString, code);
        QFETCH(QStringList, rows);
        TestCatalogue catalogue;
        catalogue.addClass("0001", "审计计划");
        catalogue.addClass("00010001", "总体计划");
        catalogue.addClass("000100010001", "更深的类");
        catalogue.addClass("0002", "审计报告");
        catalogue.addTemplate("根下模板", "");
        catalogue.addTemplate("计划模板", "0001");
        catalogue.addTemplate("无文件", "0001", " ");
        catalogue.addTemplate("深处模板", "00010001");

        QStringList seen;
        for (const ClassContentRow& row : readClassContents(catalogue.db(), code))
            seen.append(
                QStringList{row.caption, row.className, QString::number(row.image)}.join('|'));
        QCOMPARE(seen, rows);
    }

    void templateRowsCarryTheirTypeCaptionAndTheirOwnId() {
        TestCatalogue catalogue;
        catalogue.addClass("0001", "审计计划");
        const qint64 first =
            insertTemplate(catalogue.db(), {" 计划 ", "a.doc", " 说明 ", "0001", "WORD", "关键字"});
        const qint64 second =
            insertTemplate(catalogue.db(), {"表格", "b.xls", "", "0001", "未知类型", ""});
        QVERIFY(second != first);
        const QList<ClassContentRow> rows = readClassContents(catalogue.db(), "0001");
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows[0].id, QString::number(first));
        QCOMPARE(rows[0].caption, QString("计划"));
        QCOMPARE(rows[0].memo, QString("说明"));
        QCOMPARE(rows[0].typeCaption, typeCaptionOf(catalogue.db(), "WORD"));
        QVERIFY(!rows[0].typeCaption.isEmpty());
        QCOMPARE(rows[1].typeCaption, QString());

        QVERIFY(fileNameInUse(catalogue.db(), "a.doc"));
        deleteTemplateRow(catalogue.db(), first);
        QVERIFY(!fileNameInUse(catalogue.db(), "a.doc"));
    }

    void noConnectionFailsWithAClearError() {
        try {
            readClassRows(QSqlDatabase());
            QFAIL("reading without a connection must fail");
        } catch (const Error& error) {
            QVERIFY(error.message().contains("数据库连接"));
        }
    }
};

QTEST_GUILESS_MAIN(TestClassCatalogue)
#include "tst_classcatalogue.moc"
