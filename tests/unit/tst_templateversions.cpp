// A template file's versions: the bytes a replacement takes away are kept, once per hash, come
// back as the current file, and go with the template into the recycle bin and out with it.

#include "FakeHost.h"
#include "TestCatalogue.h"
#include "TestFiles.h"
#include "catalogue/CatalogueCheck.h"
#include "catalogue/CatalogueHistory.h"
#include "catalogue/FileHashes.h"
#include "catalogue/LocalCopies.h"
#include "catalogue/RecycleBin.h"
#include "catalogue/Sql.h"
#include "catalogue/TemplateFiles.h"
#include "catalogue/TemplateStore.h"
#include "catalogue/TemplateVersions.h"
#include "exchange/DataPack.h"
#include "util/Error.h"

#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QUuid>
#include <functional>

using namespace zq;
using zq::test::FakeHost;
using zq::test::FakeHostScope;
using zq::test::readFile;
using zq::test::TestCatalogue;
using zq::test::writeFile;

namespace {

// The template 模板 of class 0001, its file in the store holding "first".
struct Fixture {
    TestCatalogue catalogue;
    FakeHost host;
    FakeHostScope hostScope{host};
    QTemporaryDir temp;
    const QString file = "v" + QUuid::createUuid().toString(QUuid::Id128).left(12) + ".doc";
    qint64 doc = 0;

    Fixture() {
        host.tempPath = temp.path();
        QDir().mkpath(templateStorePath());
        catalogue.addClass("0001", "甲");
        writeFile(storedFilePath(file), "first");
        doc = addTemplateWithFile(db(), {.caption = "模板", .fileName = file, .classCode = "0001"},
                                  templateStorePath());
    }
    ~Fixture() { QFile::remove(storedFilePath(file)); }
    QSqlDatabase& db() { return catalogue.db(); }

    // Edited in the store and sent as the manager sends it, with the bytes from before.
    bool edit(const QByteArray& bytes) {
        const QString path = storedFilePath(file);
        const QByteArray before = readFile(path);
        writeFile(path, bytes);
        forgetHash(path);
        return uploadLocalCopy(db(), templateStorePath(), file, sha256Hex(before), before);
    }
    // The data pack bringing the template with new bytes.
    void importPack(const QByteArray& bytes) {
        QDir().mkpath(dataPackFolder());
        writeFile(dataPackFolder() + file, bytes);
        importDataPack(db(), {{ManifestEntry::Kind::Template,
                               {.caption = "模板",
                                .fileName = file,
                                .memo = "",
                                .typeName = "WORD",
                                .keyWord = "",
                                .classCode = "0001"}}});
    }
    // The versions' bytes, newest first, each read through the file a viewer is given.
    QList<QByteArray> versionBytes() {
        QList<QByteArray> kept;
        for (const TemplateVersion& version : readVersions(db(), doc)) {
            const QString path = writeVersionFile(db(), version, temp.filePath("view"));
            const bool writable = QFileInfo(path).permissions() & QFile::WriteOwner;
            kept.append(writable ? QByteArray("writable") : readFile(path));
        }
        return kept;
    }
    QByteArray current() { return readFile(localTemplateFile(db(), file)); }
};

using Replace = std::function<void(Fixture&, const QByteArray&)>;

} // namespace

Q_DECLARE_METATYPE(Replace)

class TestTemplateVersions : public QObject {
    Q_OBJECT

private slots:
    void replacementKeepsTheOldBytes_data() {
        QTest::addColumn<Replace>("replace");
        QTest::newRow("edited copy sent")
            << Replace([](Fixture& f, const QByteArray& bytes) { f.edit(bytes); });
        QTest::newRow("data pack")
            << Replace([](Fixture& f, const QByteArray& bytes) { f.importPack(bytes); });
    }
    void replacementKeepsTheOldBytes() {
        QFETCH(Replace, replace);
        Fixture f;
        replace(f, "second");
        QCOMPARE(f.current(), QByteArray("second"));
        const QList<TemplateVersion> versions = readVersions(f.db(), f.doc);
        QCOMPARE(versions.size(), 1);
        QCOMPARE(versions[0].sha256, sha256Hex("first"));
        QCOMPARE(versions[0].size, 5);
        QCOMPARE(versions[0].host, QSysInfo::machineHostName());
        QVERIFY(!versions[0].user.isEmpty());
        QVERIFY(qAbs(versions[0].replacedAt.secsTo(QDateTime::currentDateTime())) < 60);
        QCOMPARE(f.versionBytes(), QList<QByteArray>{"first"});
        // The same bytes again replace nothing.
        replace(f, "second");
        QCOMPARE(readVersions(f.db(), f.doc).size(), 1);
        replace(f, "third");
        QCOMPARE(f.versionBytes(), QList<QByteArray>({"second", "first"}));
    }

    // A data pack replacing more files than one statement names keeps a version of each.
    void bulkReplacementKeepsEveryVersion() {
        Fixture f;
        constexpr int kFiles = 450;
        QList<ManifestEntry> entries;
        for (int i = 0; i < kFiles; ++i)
            entries.append({ManifestEntry::Kind::Template,
                            {.caption = QString("批量%1").arg(i),
                             .fileName = QString("%1-%2.doc").arg(f.file).arg(i),
                             .memo = "",
                             .typeName = "WORD",
                             .keyWord = "",
                             .classCode = "0001"}});
        QDir().mkpath(dataPackFolder());
        const auto importWith = [&](const QByteArray& prefix) {
            for (int i = 0; i < kFiles; ++i)
                writeFile(dataPackFolder() + entries[i].record.fileName,
                          prefix + QByteArray::number(i));
            importDataPack(f.db(), entries);
        };
        importWith("a");
        QCOMPARE(f.catalogue.count("ZQ_DocTemplateVersion"), 0);
        importWith("b");
        QCOMPARE(f.catalogue.count("ZQ_DocTemplateVersion"), kFiles);
        QCOMPARE(f.catalogue.count("ZQ_DocVersionContent"), kFiles);
        const qint64 last =
            sqlValue(f.db(), "select DocID from ZQ_DocTempDetail where DocFileName = ?",
                     {entries.last().record.fileName})
                .toLongLong();
        const QList<TemplateVersion> versions = readVersions(f.db(), last);
        QCOMPARE(versions.size(), 1);
        QCOMPARE(versions[0].sha256, sha256Hex("a" + QByteArray::number(kFiles - 1)));
        for (const ManifestEntry& entry : entries)
            QFile::remove(storedFilePath(entry.record.fileName));
    }

    // A restore is itself a replacement: the bytes it replaces become a version, the history
    // says so, and bytes kept twice are stored once.
    void restoreBringsTheBytesBack() {
        Fixture f;
        QVERIFY(f.edit("second"));
        QVERIFY(f.edit("third"));
        runSql(f.db(), "delete from ZQ_DocTemplateHistory");
        QVERIFY(restoreVersion(f.db(), f.doc, sha256Hex("first")));
        QCOMPARE(f.current(), QByteArray("first"));
        QCOMPARE(f.versionBytes(), QList<QByteArray>({"third", "second", "first"}));
        const QList<HistoryEntry> history = readHistory(f.db(), {});
        QCOMPARE(history.size(), 1);
        QCOMPARE(history[0].change.action, HistoryAction::FileReplaced);
        QCOMPARE(history[0].change.docId, f.doc);

        QVERIFY(restoreVersion(f.db(), f.doc, sha256Hex("second")));
        QCOMPARE(f.current(), QByteArray("second"));
        QCOMPARE(readVersions(f.db(), f.doc).size(), 4);
        QCOMPARE(f.catalogue.count("ZQ_DocVersionContent"), 3);
        // Already current; a hash the template never had.
        QVERIFY(!restoreVersion(f.db(), f.doc, sha256Hex("second")));
        QVERIFY_THROWS_EXCEPTION(Error, restoreVersion(f.db(), f.doc, sha256Hex("other")));
        QCOMPARE(f.current(), QByteArray("second"));
    }

    // An edit sent without the bytes from before: on PostgreSQL the catalogue had them; where the
    // store's copy was the only one they are lost, which the version and the check say.
    void versionWithoutBytesIsFound() {
        Fixture f;
        writeFile(storedFilePath(f.file), "second");
        forgetHash(storedFilePath(f.file));
        QVERIFY(uploadLocalCopy(f.db(), templateStorePath(), f.file));
        const QList<TemplateVersion> versions = readVersions(f.db(), f.doc);
        QCOMPARE(versions.size(), 1);
        QCOMPARE(versions[0].hasBytes, f.catalogue.isPostgres());
        QStringList found;
        for (const CatalogueFinding& finding : checkCatalogue(f.db(), templateStorePath()))
            if (finding.kind == CatalogueFinding::Kind::VersionWithoutBytes)
                found.append(finding.fileName + '|' + finding.sha256);
        QCOMPARE(found, f.catalogue.isPostgres() ? QStringList()
                                                 : QStringList{f.file + '|' + sha256Hex("first")});
        if (!f.catalogue.isPostgres())
            QVERIFY_THROWS_EXCEPTION(Error, restoreVersion(f.db(), f.doc, sha256Hex("first")));
    }

    // Deleted, the template's versions wait in the bin with it; restored, they are back;
    // emptied, they are gone with their bytes.
    void versionsGoWithTheBin() {
        Fixture f;
        QVERIFY(f.edit("second"));
        QVERIFY(deleteTemplateAndFile(f.db(), f.doc));
        QCOMPARE(
            sqlValue(f.db(), "select count(*) from ZQ_DocTemplateVersion where ItemID = 0").toInt(),
            0);
        restoreFromBin(f.db(), readBin(f.db()).at(0).id);
        QCOMPARE(f.current(), QByteArray("second"));
        QCOMPARE(f.versionBytes(), QList<QByteArray>{"first"});

        QVERIFY(deleteTemplateAndFile(f.db(), f.doc));
        QCOMPARE(emptyBin(f.db()), 1);
        QCOMPARE(f.catalogue.count("ZQ_DocTemplateVersion"), 0);
        QCOMPARE(f.catalogue.count("ZQ_DocVersionContent"), 0);
    }
};

QTEST_MAIN(TestTemplateVersions)
#include "tst_templateversions.moc"
