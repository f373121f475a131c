// The catalogue's history: what each kind of change records, in the change's own transaction,
// and the listing's filters and pages.

#include "TestCatalogue.h"
#include "TestFiles.h"
#include "catalogue/CatalogueHistory.h"
#include "catalogue/ClassCatalogue.h"
#include "catalogue/ClassMoves.h"
#include "catalogue/Sql.h"
#include "catalogue/TemplateFiles.h"

#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QUuid>
#include <functional>
#include <pwd.h>
#include <unistd.h>

using namespace zq;
using zq::test::TestCatalogue;
using zq::test::writeFile;

namespace {

// A class 0001 甲 holding the template 模板 (its file in `folder`, under a name of its own,
// since a deletion also clears the store's file of that name), and a class tree 0002 乙 with a
// sub-class.
struct Fixture {
    TestCatalogue catalogue;
    QTemporaryDir folder;
    const QString file = QUuid::createUuid().toString(QUuid::Id128) + ".doc";
    qint64 doc = 0;

    Fixture() {
        catalogue.addClass("0001", "甲");
        catalogue.addClass("0002", "乙");
        catalogue.addClass("00020001", "乙一");
        writeFile(folder.filePath(file), "old");
        doc = addTemplateWithFile(db(), {.caption = "模板", .fileName = file, .classCode = "0001"},
                                  folder.path());
        runSql(db(), "delete from ZQ_DocTemplateHistory");
    }
    QSqlDatabase& db() { return catalogue.db(); }

    // Every row, oldest first, as "action|class|doc|name|before|after"; the fixture's template
    // reads "doc", another template "new", its file "t.doc".
    QStringList rows() {
        QStringList texts;
        for (const HistoryEntry& e : readHistory(db(), {})) {
            const HistoryChange& c = e.change;
            const QString docText = c.docId == 0 ? "0" : c.docId == doc ? "doc" : "new";
            texts.prepend(QStringList{historyActionKey(c.action), c.classCode, docText, c.name,
                                      c.before, c.after}
                              .join('|')
                              .replace(file, "t.doc"));
        }
        return texts;
    }
};

using Operation = std::function<void(Fixture&)>;

} // namespace

Q_DECLARE_METATYPE(Operation)

class TestCatalogueHistory : public QObject {
    Q_OBJECT

private slots:
    void changesRecorded_data() {
        QTest::addColumn<Operation>("operation");
        QTest::addColumn<QStringList>("recorded");
        const auto row = [](const char* name, Operation op, const QStringList& recorded) {
            QTest::newRow(name) << op << recorded;
        };
        row("class added", [](Fixture& f) { addChildClass(f.db(), "0001", "子", "", ""); },
            {"add|00010001|0|子||"});
        row("class renamed", [](Fixture& f) { updateClass(f.db(), "0001", "丙", ""); },
            {"rename|0001|0|丙|甲|丙"});
        row("class described", [](Fixture& f) { updateClass(f.db(), "0001", "甲", "说明"); },
            {"describe|0001|0|甲||说明"});
        row("class renamed and described",
            [](Fixture& f) { updateClass(f.db(), "0001", " 丙 ", "说明"); },
            {"rename|0001|0|丙|甲|丙", "describe|0001|0|丙||说明"});
        row("class saved unchanged", [](Fixture& f) { updateClass(f.db(), "0001", "甲", ""); }, {});
        row("template added",
            [](Fixture& f) {
                const QString name = "n" + f.file;
                writeFile(f.folder.filePath(name), "n");
                addTemplateWithFile(f.db(),
                                    {.caption = "新", .fileName = name, .classCode = "0002"},
                                    f.folder.path());
            },
            {"add|0002|new|新||"});
        row("template renamed and described",
            [](Fixture& f) { updateTemplateText(f.db(), f.doc, "改名", "备注"); },
            {"rename|0001|doc|改名|模板|改名", "describe|0001|doc|改名||备注"});
        row("template moved", [](Fixture& f) { moveDocToClass(f.db(), f.doc, "0002"); },
            {"move|0002|doc|模板|0001|0002"});
        // A subtree moves as one row, however many classes it holds.
        row("class tree moved", [](Fixture& f) { moveClassTo(f.db(), "0002", "0001"); },
            {"move|00010001|0|乙|0002|00010001"});
        row("class move undone",
            [](Fixture& f) { undoMove(f.db(), moveClassTo(f.db(), "0002", "0001")); },
            {"move|00010001|0|乙|0002|00010001", "move|0002|0|乙|00010001|0002"});
        row("template deleted", [](Fixture& f) { deleteTemplateAndFile(f.db(), f.doc); },
            {"delete|0001|doc|模板||"});
        row("class tree deleted", [](Fixture& f) { deleteEmptyClassTree(f.db(), "0002"); },
            {"delete|0002|0|乙||"});
        row("file replaced",
            [](Fixture& f) {
                writeFile(f.folder.filePath(f.file), "new bytes");
                QVERIFY(uploadLocalCopy(f.db(), f.folder.path(), f.file));
            },
            {"replace-file|0001|doc|模板||t.doc"});
    }
    void changesRecorded() {
        QFETCH(Operation, operation);
        QFETCH(QStringList, recorded);
        Fixture f;
        const qint64 start = QDateTime::currentMSecsSinceEpoch();
        operation(f);
        QCOMPARE(f.rows(), recorded);
        for (const HistoryEntry& e : readHistory(f.db(), {})) {
            QCOMPARE(e.user, QString::fromLocal8Bit(getpwuid(geteuid())->pw_name));
            QCOMPARE(e.host, QSysInfo::machineHostName());
            // The server's clock on PostgreSQL, on this machine too; a second's slack.
            QVERIFY(e.when.toMSecsSinceEpoch() >= start - 1000);
            QVERIFY(e.when.toMSecsSinceEpoch() <= QDateTime::currentMSecsSinceEpoch() + 1000);
        }
    }

    // A change rolled back leaves no history behind, and none of its history survives.
    void rolledBackChangeLeavesNone() {
        Fixture f;
        {
            Transaction outer(f.db());
            updateClass(f.db(), "0001", "丙", "说明");
            moveDocToClass(f.db(), f.doc, "0002");
            deleteEmptyClassTree(f.db(), "00020001");
            QCOMPARE(f.rows().size(), 4);
        }
        QCOMPARE(f.rows(), QStringList());
        QCOMPARE(classNameOfCode(f.db(), "0001"), QString("甲"));
    }

    // Filters by object, person and date, newest first, a page at a time.
    void listingFiltersAndPages() {
        Fixture f;
        for (int i = 0; i < 5; ++i)
            updateClass(f.db(), "0001", QString("名%1").arg(i), "");
        updateTemplateText(f.db(), f.doc, "改", "");
        runSql(f.db(), "update ZQ_DocTemplateHistory set UserName = 'other' where DocID = ?",
               {f.doc});

        const QList<HistoryEntry> firstPage = readHistory(f.db(), {}, 0, 4);
        QCOMPARE(firstPage.size(), 4);
        QCOMPARE(firstPage[0].change.name, QString("改"));
        QCOMPARE(firstPage[1].change.after, QString("名4"));
        const QList<HistoryEntry> nextPage = readHistory(f.db(), {}, firstPage.last().id, 4);
        QCOMPARE(nextPage.size(), 2);
        QCOMPARE(nextPage.last().change.after, QString("名0"));

        QCOMPARE(readHistory(f.db(), {.docId = f.doc}).size(), 1);
        // A class's history holds its templates' changes too.
        QCOMPARE(readHistory(f.db(), {.classCode = "0001"}).size(), 6);
        QCOMPARE(readHistory(f.db(), {.classCode = "0002"}).size(), 0);
        QCOMPARE(readHistory(f.db(), {.user = "other"}).size(), 1);
        const QDateTime now = QDateTime::currentDateTime();
        QCOMPARE(readHistory(f.db(), {.since = now.addDays(-1)}).size(), 6);
        QCOMPARE(readHistory(f.db(), {.since = now.addDays(1)}).size(), 0);
        QCOMPARE(readHistory(f.db(), {.until = now.addDays(-1)}).size(), 0);
    }
};

QTEST_GUILESS_MAIN(TestCatalogueHistory)
#include "tst_cataloguehistory.moc"
