// The recycle bin: a deleted class tree or template leaves the catalogue's tables with its files
// and comes back whole; a restore never overwrites what was made meanwhile.

#include "TestCatalogue.h"
#include "TestFiles.h"
#include "catalogue/ClassCatalogue.h"
#include "catalogue/LocalCopies.h"
#include "catalogue/RecycleBin.h"
#include "catalogue/Sql.h"
#include "catalogue/TemplateFiles.h"
#include "catalogue/TemplateSearch.h"
#include "catalogue/TemplateStore.h"
#include "exchange/SelectionTree.h"
#include "util/Error.h"

#include <QDir>
#include <QTest>
#include <QUuid>
#include <functional>

using namespace zq;
using zq::test::readFile;
using zq::test::TestCatalogue;
using zq::test::writeFile;

namespace {

// Class 0001 甲 with 00010001 乙, a template in each (files of their own in the store), and
// class 0002 丙 with a template.
struct Fixture {
    TestCatalogue catalogue;
    const QString p = "b" + QUuid::createUuid().toString(QUuid::Id128).left(10) + "-";
    qint64 top = 0, deep = 0, other = 0;

    Fixture() {
        QDir().mkpath(templateStorePath());
        catalogue.addClass("0001", "甲", "说明");
        catalogue.addClass("00010001", "乙");
        catalogue.addClass("0002", "丙");
        top = add("顶", "0001", "top.doc", "TOP");
        deep = add("深", "00010001", "deep.xls", "DEEP");
        other = add("别", "0002", "other.doc", "OTHER");
    }
    ~Fixture() {
        for (const QString& name : QDir(templateStorePath()).entryList({p + "*"}, QDir::Files))
            QFile::remove(storedFilePath(name));
    }
    QSqlDatabase& db() { return catalogue.db(); }
    qint64 add(const QString& caption, const QString& code, const QString& file,
               const QByteArray& bytes) {
        writeFile(storedFilePath(p + file), bytes);
        return addTemplateWithFile(db(),
                                   {.caption = caption, .fileName = p + file, .classCode = code},
                                   templateStorePath());
    }
    // Every class "code|name|memo" and template "DocID|caption|file|code", the prefix left out.
    QStringList snapshot() {
        QStringList rows;
        for (const ClassRecord& c : readClassRows(db()))
            rows.append(c.code + '|' + c.name + '|' + c.memo);
        for (const ListedTemplate& t : readTemplateRows(db(), {}))
            rows.append(QStringList{QString::number(t.record.docId), t.record.caption,
                                    QString(t.record.fileName).remove(p), t.record.classCode}
                            .join('|'));
        return rows;
    }
    QByteArray bytesOf(const QString& file) { return readFile(localTemplateFile(db(), p + file)); }
    int fileRecords() {
        return sqlValue(db(), "select count(*) from ZQ_DocTemplateFile where DocFileName like ?",
                        {p + "%"})
            .toInt();
    }
};

} // namespace

class TestRecycleBin : public QObject {
    Q_OBJECT

private slots:
    // The tree leaves every table the host and the plug-in read, and comes back with the same
    // codes, DocIDs and bytes.
    void classTreeRoundTrip() {
        Fixture f;
        const QStringList before = f.snapshot();
        QVERIFY(deleteClassTree(f.db(), "0001"));
        QCOMPARE(f.snapshot(),
                 QStringList({"0002|丙|", QString::number(f.other) + "|别|other.doc|0002"}));
        QCOMPARE(f.fileRecords(), 1);
        QVERIFY(!QFileInfo::exists(storedFilePath(f.p + "top.doc")));
        // What export and the data pack offer to tick: the root and the class left.
        QStringList offered;
        std::function<void(const SelectionNode&)> walk = [&](const SelectionNode& node) {
            offered.append(node.record.classCode + '/' + node.record.caption);
            for (const SelectionNode& child : node.children)
                walk(child);
        };
        for (const SelectionNode& node : fillSelectionTree(f.db()))
            walk(node);
        QCOMPARE(offered.size(), 2);
        QVERIFY2(offered[1].startsWith("0002/"), qPrintable(offered.join(',')));
        SearchCriteria byName;
        byName.byName = true;
        byName.name = "深";
        QCOMPARE(searchTemplates(f.db(), byName).size(), 0);
        QCOMPARE(sqlValue(f.db(), "select count(*) from ZQ_DocSearchKey where DocID = ?", {f.deep})
                     .toInt(),
                 0);

        const QList<BinItem> bin = readBin(f.db());
        QCOMPARE(bin.size(), 1);
        QCOMPARE(bin[0].classCode, QString("0001"));
        QCOMPARE(bin[0].name, QString("甲"));
        QCOMPARE(bin[0].classes, 2);
        QCOMPARE(bin[0].templates, 2);

        const BinRestore restored = restoreFromBin(f.db(), bin[0].id);
        QCOMPARE(restored.classCode, QString("0001"));
        QVERIFY(!restored.renumbered);
        QCOMPARE(f.snapshot(), before);
        QCOMPARE(f.bytesOf("top.doc"), QByteArray("TOP"));
        QCOMPARE(f.bytesOf("deep.xls"), QByteArray("DEEP"));
        QCOMPARE(searchTemplates(f.db(), byName).size(), 1);
        byName.name = "shen"; // by the keys the restore wrote again
        QCOMPARE(searchTemplates(f.db(), byName).size(), 1);
        QCOMPARE(readBin(f.db()).size(), 0);
    }

    // The old code taken meanwhile: the restore asks for a class, then takes its next free
    // code there with the tree below it.
    void restoreIntoATakenCode() {
        Fixture f;
        QVERIFY(deleteClassTree(f.db(), "0001"));
        f.catalogue.addClass("0001", "新甲");
        const qint64 item = readBin(f.db()).at(0).id;
        QVERIFY_THROWS_EXCEPTION(BinPlaceTaken, restoreFromBin(f.db(), item));
        QCOMPARE(readBin(f.db()).size(), 1);

        const BinRestore restored = restoreFromBin(f.db(), item, QString("0002"));
        QCOMPARE(restored.classCode, QString("00020001"));
        QVERIFY(restored.renumbered);
        QCOMPARE(f.snapshot(),
                 QStringList({"0001|新甲|", "0002|丙|", "00020001|甲|说明", "000200010001|乙|",
                              QString::number(f.top) + "|顶|top.doc|00020001",
                              QString::number(f.deep) + "|深|deep.xls|000200010001",
                              QString::number(f.other) + "|别|other.doc|0002"}));
        QCOMPARE(f.bytesOf("deep.xls"), QByteArray("DEEP"));
    }

    // A template whose class is gone goes where it is told; its file name, taken meanwhile by
    // other bytes, is renamed rather than overwritten.
    void templateRestoreRenamesATakenFile() {
        Fixture f;
        deleteTemplateAndFile(f.db(), f.deep);
        QCOMPARE(f.fileRecords(), 2);
        QVERIFY(deleteClassTree(f.db(), "00010001"));
        const qint64 item = readBin(f.db()).at(1).id; // the template, deleted first
        f.add("新", "0002", "deep.xls", "NEWER");

        QVERIFY_THROWS_EXCEPTION(BinPlaceTaken, restoreFromBin(f.db(), item));
        const BinRestore restored = restoreFromBin(f.db(), item, QString("0001"));
        QCOMPARE(restored.classCode, QString("0001"));
        QCOMPARE(restored.renamedFiles.size(), 1);
        const QString renamed =
            QString(readTemplateRows(f.db(), "d.DocID = ?", {f.deep}).at(0).record.fileName)
                .remove(f.p);
        QVERIFY(renamed != "deep.xls");
        QCOMPARE(f.bytesOf(renamed), QByteArray("DEEP"));
        QCOMPARE(f.bytesOf("deep.xls"), QByteArray("NEWER"));
    }

    // Emptying removes every item and their bytes, and nothing of the catalogue.
    void emptyingTheBin() {
        Fixture f;
        deleteTemplateAndFile(f.db(), f.other);
        QVERIFY(deleteClassTree(f.db(), "0001"));
        QCOMPARE(emptyBin(f.db()), 2);
        QCOMPARE(readBin(f.db()).size(), 0);
        for (const char* table : {"ZQ_DocRecycleItem", "ZQ_DocRecycleClass",
                                  "ZQ_DocRecycleTemplate", "ZQ_DocRecycleFile"})
            QCOMPARE(f.catalogue.count(table), 0);
        QCOMPARE(f.snapshot(), QStringList({"0002|丙|"}));
        QCOMPARE(emptyBin(f.db()), 0);
    }
};

QTEST_GUILESS_MAIN(TestRecycleBin)
#include "tst_recyclebin.moc"
