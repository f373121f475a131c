#include "HostDatabase.h"
#include "TestCatalogue.h"
#include "catalogue/ClassCatalogue.h"
#include "catalogue/ClassMoves.h"
#include "catalogue/Sql.h"
#include "util/Error.h"

#include <QTest>
#include <barrier>
#include <latch>
#include <thread>

using namespace zq;
using zq::test::TestCatalogue;

namespace {

// The whole catalogue as texts: every class "code|name" and every template "caption@code".
QStringList snapshot(const QSqlDatabase& db) {
    QStringList rows;
    for (const ClassRecord& row : readClassRows(db))
        rows.append(row.code + '|' + row.name);
    QSqlQuery query = runSql(
        db, QStringLiteral("select DocCaption, DocSortID from ZQ_DocTempDetail order by DocID"));
    while (query.next())
        rows.append(query.value(0).toString() + '@' + query.value(1).toString());
    return rows;
}

// Rounds of a race test; ZQ_RACE_ROUNDS raises it for a longer probe.
int raceRounds(int rounds) {
    return qMax(rounds, qEnvironmentVariableIntValue("ZQ_RACE_ROUNDS"));
}

QString templateCode(const QSqlDatabase& db, qint64 docId) {
    return sqlValue(db, QStringLiteral("select DocSortID from ZQ_DocTempDetail where DocID = ?"),
                    {docId})
        .toString();
}

} // namespace

class TestClassMoves : public QObject {
    Q_OBJECT

private slots:
    void canDropClass_data() {
        QTest::addColumn<QString>("dragged");
        QTest::addColumn<QString>("target");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("root dragged") << ""
                                      << "0001" << false;
        QTest::newRow("onto itself") << "00010002"
                                     << "00010002" << false;
        QTest::newRow("onto its parent") << "00010002"
                                         << "0001" << false;
        QTest::newRow("onto its child") << "0001"
                                        << "00010002" << false;
        QTest::newRow("onto a deeper class of its own") << "0001"
                                                        << "000100020003" << false;
        QTest::newRow("top level onto the root") << "0001"
                                                 << "" << false;
        QTest::newRow("second level onto the root") << "00010002"
                                                    << "" << true;
        QTest::newRow("onto a sibling") << "00010002"
                                        << "00010001" << true;
        QTest::newRow("onto another branch") << "0001"
                                             << "00020001" << true;
        QTest::newRow("onto its grandparent") << "000100020003"
                                              << "0001" << true;
    }
    void canDropClass() {
        QFETCH(QString, dragged);
        QFETCH(QString, target);
        QFETCH(bool, accepted);
        QCOMPARE(zq::canDropClass(dragged, target), accepted);
    }

    // The class takes the first free code under its new parent; its sub-classes are numbered
    // again from 0001, and every template follows its class. Undo puts everything back.
    void movedClassIsRenumberedTopDownAndUndone() {
        TestCatalogue catalogue;
        for (const char* code :
             {"0001", "00010002", "000100020001", "000100020003", "0003", "00030001", "00030003"})
            catalogue.addClass(code, QStringLiteral("类") + code);
        const qint64 inClass = catalogue.addTemplate("类中", "00010002");
        const qint64 inFirst = catalogue.addTemplate("子一", "000100020001");
        const qint64 inThird = catalogue.addTemplate("子三", "000100020003");
        const qint64 atTarget = catalogue.addTemplate("目标", "0003");
        const QStringList before = snapshot(catalogue.db());

        const CatalogueMove move = moveClassTo(catalogue.db(), "00010002", "0003");
        QCOMPARE(move.toCode, QString("00030002"));
        QStringList codes;
        for (const ClassRecord& row : readClassRows(catalogue.db()))
            codes.append(row.code + '|' + row.name);
        QCOMPARE(codes, (QStringList{"0001|类0001", "0003|类0003", "00030001|类00030001",
                                     "00030002|类00010002", "000300020001|类000100020001",
                                     "000300020002|类000100020003", "00030003|类00030003"}));
        QCOMPARE(templateCode(catalogue.db(), inClass), QString("00030002"));
        QCOMPARE(templateCode(catalogue.db(), inFirst), QString("000300020001"));
        QCOMPARE(templateCode(catalogue.db(), inThird), QString("000300020002"));
        QCOMPARE(templateCode(catalogue.db(), atTarget), QString("0003"));

        undoMove(catalogue.db(), move);
        QCOMPARE(snapshot(catalogue.db()), before);
    }

    void secondLevelClassOntoTheRootTakesTheNextTopLevelCode() {
        TestCatalogue catalogue;
        for (const char* code : {"0001", "00010001", "000100010001", "0003"})
            catalogue.addClass(code, code);
        QCOMPARE(moveClassTo(catalogue.db(), "00010001", "").toCode, QString("0002"));
        QCOMPARE(snapshot(catalogue.db()),
                 (QStringList{"0001|0001", "0002|00010001", "00020001|000100010001", "0003|0003"}));
    }

    // Rows no window would make: a template whose class is gone, a class below a missing
    // level. The move files the template in its nearest class and never renames a row twice,
    // even when the new codes are old codes of the subtree.
    void irregularCodesMoveWithoutLosingRows() {
        TestCatalogue catalogue;
        for (const char* code : {"0001", "00010001", "000100020001", "0001000200010001"})
            catalogue.addClass(code, code);
        const qint64 top = catalogue.addTemplate("上", "000100020001");
        const qint64 below = catalogue.addTemplate("下", "0001000200010001");
        const qint64 stray = catalogue.addTemplate("散", "00010002000100019");
        const QStringList before = snapshot(catalogue.db());

        // Shown under 0001, it takes the free 00010002, its own code's first part.
        const CatalogueMove move = moveClassTo(catalogue.db(), "000100020001", "0001");
        QCOMPARE(move.toCode, QString("00010002"));
        QCOMPARE(readClassRows(catalogue.db()).size(), 4);
        QVERIFY(classExists(catalogue.db(), "00010002"));
        QVERIFY(classExists(catalogue.db(), "000100020001"));
        QVERIFY(!classExists(catalogue.db(), "0001000200010001"));
        QCOMPARE(templateCode(catalogue.db(), top), QString("00010002"));
        QCOMPARE(templateCode(catalogue.db(), below), QString("000100020001"));
        QCOMPARE(templateCode(catalogue.db(), stray), QString("000100020001"));

        undoMove(catalogue.db(), move);
        QStringList expected = before;
        expected.replace(expected.indexOf("散@00010002000100019"), "散@0001000200010001");
        QCOMPARE(snapshot(catalogue.db()), expected);
    }

    // The templates are refiled before the classes; a class code that turns out to be taken
    // fails the move, and the catalogue is exactly as it was.
    void aFailureInTheMiddleChangesNothing() {
        TestCatalogue catalogue;
        for (const char* code : {"0001", "00010001", "0002", "000200010001"})
            catalogue.addClass(code, code);
        catalogue.addTemplate("甲", "0001");
        catalogue.addTemplate("乙", "00010001");
        const QStringList before = snapshot(catalogue.db());
        QVERIFY_THROWS_EXCEPTION(Error, moveClassTo(catalogue.db(), "0001", "0002"));
        QCOMPARE(snapshot(catalogue.db()), before);
        // The connection is fit for the next operation.
        QCOMPARE(moveClassTo(catalogue.db(), "00010001", "").toCode, QString("0003"));
    }

    void refusedAndVanishedTargets() {
        TestCatalogue catalogue;
        catalogue.addClass("0001", "甲");
        catalogue.addClass("00010001", "乙");
        const qint64 docId = catalogue.addTemplate("模板", "0001");
        const QStringList before = snapshot(catalogue.db());
        QVERIFY_THROWS_EXCEPTION(Error, moveClassTo(catalogue.db(), "0001", "00010001"));
        QVERIFY_THROWS_EXCEPTION(Error, moveClassTo(catalogue.db(), "00010001", "0009"));
        QVERIFY_THROWS_EXCEPTION(Error, moveClassTo(catalogue.db(), "00050001", ""));
        QVERIFY_THROWS_EXCEPTION(Error, moveDocToClass(catalogue.db(), docId, "0009"));
        QVERIFY_THROWS_EXCEPTION(Error, moveDocToClass(catalogue.db(), docId + 100, "00010001"));
        // The root holds classes, and a template stays out of it whoever asks; a move into the
        // class it is in is refused alike.
        for (const QString& target : {QString(), QString("0001")}) {
            try {
                moveDocToClass(catalogue.db(), docId, target);
                QFAIL("filed");
            } catch (const Error& e) {
                QCOMPARE(e.message(), QString("不能把该模板移到这里！"));
            }
        }
        QCOMPARE(snapshot(catalogue.db()), before);
        // One filed under the root by an import may still be moved into a class.
        const qint64 rootDoc = catalogue.addTemplate("根下模板", "");
        QCOMPARE(moveDocToClass(catalogue.db(), rootDoc, "00010001").fromCode, QString());
    }

    void templateMoveAndItsUndo() {
        TestCatalogue catalogue;
        catalogue.addClass("0001", "甲");
        catalogue.addClass("0002", "乙");
        const qint64 docId = catalogue.addTemplate("模板", "0001");
        const CatalogueMove move = moveDocToClass(catalogue.db(), docId, "0002");
        QCOMPARE(templateClassCode(catalogue.db(), docId).value_or("?"), QString("0002"));
        QCOMPARE(move.fromCode, QString("0001"));
        QVERIFY(!templateClassCode(catalogue.db(), docId + 100));
        undoMove(catalogue.db(), move);
        QCOMPARE(templateCode(catalogue.db(), docId), QString("0001"));
        // Once undone, the same undo finds the template elsewhere and refuses.
        QVERIFY_THROWS_EXCEPTION(Error, undoMove(catalogue.db(), move));
        QCOMPARE(templateCode(catalogue.db(), docId), QString("0001"));
    }

    void undoIsRefusedWhenTheCatalogueChangedInTheWay() {
        TestCatalogue catalogue;
        for (const char* code : {"0001", "00010001", "0002"})
            catalogue.addClass(code, code);
        const CatalogueMove move = moveClassTo(catalogue.db(), "00010001", "0002");
        catalogue.addClass("00010001", "新类占了旧编码");
        const QStringList taken = snapshot(catalogue.db());
        QVERIFY_THROWS_EXCEPTION(Error, undoMove(catalogue.db(), move));
        QCOMPARE(snapshot(catalogue.db()), taken);

        runSql(catalogue.db(),
               QStringLiteral("delete from ZQ_DocInfoMaster where DocSortID = '00010001'"));
        catalogue.addClass("000200010001", "移动后新加的子类");
        const QStringList grown = snapshot(catalogue.db());
        QVERIFY_THROWS_EXCEPTION(Error, undoMove(catalogue.db(), move));
        QCOMPARE(snapshot(catalogue.db()), grown);

        // Deleted since: nothing is left to put back, and undo says so.
        runSql(catalogue.db(), QStringLiteral("delete from ZQ_DocInfoMaster where "
                                              "substr(DocSortID, 1, 8) = '00020001'"));
        QVERIFY_THROWS_EXCEPTION(Error, undoMove(catalogue.db(), move));
    }

    // Two workstations moving the same classes at the same time, each elsewhere: each class
    // is moved once, and the other workstation is told instead of being told it moved it.
    void concurrentMovesOfOneClass() {
        TestCatalogue catalogue;
        if (!catalogue.isPostgres())
            QSKIP("needs a shared PostgreSQL catalogue");
        constexpr int kClasses = 10;
        catalogue.addClass("0050", "甲处");
        catalogue.addClass("0060", "乙处");
        for (int i = 1; i <= kClasses; ++i) {
            const QString code = QStringLiteral("%1").arg(i, 4, 10, QLatin1Char('0'));
            catalogue.addClass(code, code);
            catalogue.addClass(code + "0001", code + "子");
            catalogue.addTemplate(code, code + "0001");
        }
        std::latch start(2);
        int moved[2] = {0, 0};
        const auto workstation = [&](int index) {
            const QString name = QStringLiteral("mover%1").arg(index);
            {
                QSqlDatabase db = corvane::openHostDatabase(
                    name, QString(), qEnvironmentVariable("ZQ_TEST_DATABASE"));
                start.arrive_and_wait();
                for (int i = 1; i <= kClasses; ++i) {
                    try {
                        moveClassTo(db, QStringLiteral("%1").arg(i, 4, 10, QLatin1Char('0')),
                                    index ? "0060" : "0050");
                        ++moved[index];
                    } catch (const Error&) {
                    }
                }
                db.close();
            }
            QSqlDatabase::removeDatabase(name);
        };
        std::thread first(workstation, 0);
        std::thread second(workstation, 1);
        first.join();
        second.join();
        QCOMPARE(moved[0] + moved[1], kClasses);
        QCOMPARE(catalogue.count("ZQ_DocInfoMaster"), 2 + 2 * kClasses);
        QCOMPARE(sqlValue(catalogue.db(), QStringLiteral("select count(*) from ZQ_DocTempDetail "
                                                         "where length(DocSortID) = 12"))
                     .toInt(),
                 kClasses);
    }

    // Two workstations moving classes into one parent at the same time: every move succeeds
    // and no code is given twice.
    void concurrentMovesIntoOneParent() {
        TestCatalogue catalogue;
        if (!catalogue.isPostgres())
            QSKIP("needs a shared PostgreSQL catalogue");
        constexpr int kPerWorkstation = 8;
        catalogue.addClass("0050", "目标");
        for (int i = 1; i <= 2 * kPerWorkstation; ++i) {
            const QString code = QStringLiteral("%1").arg(i, 4, 10, QLatin1Char('0'));
            catalogue.addClass(code, code);
            catalogue.addClass(code + "0001", code + "子");
            catalogue.addTemplate(code, code);
        }
        std::latch start(2);
        QStringList failures[2];
        const auto workstation = [&](int index) {
            const QString name = QStringLiteral("workstation%1").arg(index);
            {
                QSqlDatabase db = corvane::openHostDatabase(
                    name, QString(), qEnvironmentVariable("ZQ_TEST_DATABASE"));
                start.arrive_and_wait();
                for (int i = 1; i <= kPerWorkstation; ++i) {
                    const int number = index * kPerWorkstation + i;
                    try {
                        moveClassTo(db, QStringLiteral("%1").arg(number, 4, 10, QLatin1Char('0')),
                                    "0050");
                    } catch (const Error& error) {
                        failures[index].append(error.message());
                    }
                }
                db.close();
            }
            QSqlDatabase::removeDatabase(name);
        };
        std::thread first(workstation, 0);
        std::thread second(workstation, 1);
        first.join();
        second.join();
        QCOMPARE(failures[0] + failures[1], QStringList());
        const QList<ClassRecord> rows = readClassRows(catalogue.db());
        QCOMPARE(rows.size(), 1 + 4 * kPerWorkstation);
        QCOMPARE(rows.last().code, QString("005000160001"));
        QCOMPARE(sqlValue(catalogue.db(), QStringLiteral("select count(*) from ZQ_DocTempDetail "
                                                         "where length(DocSortID) = 8"))
                     .toInt(),
                 2 * kPerWorkstation);
    }

    // A class moved on one workstation while another deletes its tree: one of the two wins
    // and the other is told why; no deadlock reaches either.
    void moveAgainstTreeDelete() {
        TestCatalogue catalogue;
        if (!catalogue.isPostgres())
            QSKIP("needs a shared PostgreSQL catalogue");
        catalogue.addClass("0050", "目标");
        catalogue.addTemplate("留下", "0050");
        const int rounds = raceRounds(10);
        std::barrier sync(2);
        QStringList failures[2];
        int moved = 0;
        int deleted = 0;
        const auto workstation = [&](int index) {
            const QString name = QStringLiteral("racer%1").arg(index);
            {
                QSqlDatabase db = corvane::openHostDatabase(
                    name, QString(), qEnvironmentVariable("ZQ_TEST_DATABASE"));
                for (int round = 0; round < rounds; ++round) {
                    if (index == 0) {
                        runSql(db, QStringLiteral("delete from ZQ_DocInfoMaster "
                                                  "where DocSortID <> '0050'"));
                        insertClass(db, "0001", "甲", "");
                        insertClass(db, "00010001", "甲子", "");
                    }
                    sync.arrive_and_wait();
                    try {
                        if (index == 0) {
                            moveClassTo(db, "0001", "0050");
                            ++moved;
                        } else if (deleteEmptyClassTree(db, "0001") == ClassTreeDeletion::Deleted) {
                            ++deleted;
                        }
                    } catch (const Error& error) {
                        if (error.message() != noSuchClassMessage())
                            failures[index].append(error.message() + " / " + error.details());
                    }
                    sync.arrive_and_wait();
                }
                db.close();
            }
            QSqlDatabase::removeDatabase(name);
        };
        std::thread first(workstation, 0);
        std::thread second(workstation, 1);
        first.join();
        second.join();
        QCOMPARE(failures[0] + failures[1], QStringList());
        QCOMPARE(moved + deleted, rounds);
        QCOMPARE(catalogue.count("ZQ_DocTempDetail"), 1);
    }
};

QTEST_GUILESS_MAIN(TestClassMoves)
#include "tst_classmoves.moc"
