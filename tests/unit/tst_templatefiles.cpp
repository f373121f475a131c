// The stored files of a catalogue: on a shared one, two store folders stand for two workstations
// on one catalogue database; an embedded one keeps each file once, in the store.

#include "HostDatabase.h"
#include "TestCatalogue.h"
#include "catalogue/FileHashes.h"
#include "catalogue/Sql.h"
#include "catalogue/StoreStaging.h"
#include "catalogue/TemplateAdding.h"
#include "catalogue/TemplateFiles.h"
#include "catalogue/TemplateStore.h"
#include "util/Error.h"

#include <QCryptographicHash>
#include <QFile>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <latch>
#include <sys/stat.h>
#include <thread>

using namespace zq;
using zq::test::TestCatalogue;

namespace {

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

ino_t inodeOf(const QString& path) {
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_ino : 0;
}

// Every byte value, NUL included, and more than one network packet.
QByteArray binaryContent(int size, quint32 seed) {
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator random(seed);
    for (int i = 0; i < size; ++i)
        bytes[i] = char(i < 256 ? i : random.bounded(256));
    return bytes;
}

} // namespace

// The bytes travel between workstations only where the catalogue keeps them.
#define REQUIRE_KEPT_BYTES(catalogue)                                                              \
    if (!keepsFileBytes((catalogue).db()))                                                         \
    QSKIP("an embedded catalogue keeps no bytes: one workstation")

class TestTemplateFiles : public QObject {
    Q_OBJECT

    QTemporaryDir m_first;
    QTemporaryDir m_second;
    QString first() const { return m_first.path() + '/'; }
    QString second() const { return m_second.path() + '/'; }

    // Adds a template as the first workstation does: the file in its store, then the row and
    // the bytes in one transaction.
    qint64 addOnFirst(TestCatalogue& catalogue, const QString& name, const QByteArray& bytes) {
        writeFile(first() + name, bytes);
        return addTemplateWithFile(
            catalogue.db(), {.caption = name, .fileName = name, .typeName = "WORD"}, first());
    }

private slots:
    void init() {
        QVERIFY(m_first.isValid() && m_second.isValid());
        for (const QTemporaryDir* dir : {&m_first, &m_second})
            for (const QString& name : QDir(dir->path()).entryList(QDir::Files | QDir::System))
                QFile::remove(dir->filePath(name));
    }

    // Added on one workstation, the file reaches the other intact; a current copy is left as
    // it is.
    void fileTravelsToSecondWorkstation() {
        TestCatalogue catalogue;
        REQUIRE_KEPT_BYTES(catalogue);
        const QByteArray bytes = binaryContent(300 * 1024, 7);
        addOnFirst(catalogue, "计划.doc", bytes);
        QCOMPARE(catalogue.count("ZQ_DocTemplateFile"), 1);

        const QString copy = ensureLocalCopy(catalogue.db(), second(), "计划.doc");
        QCOMPARE(copy, second() + "计划.doc");
        QCOMPARE(readFile(copy), bytes);
        const ino_t inode = inodeOf(copy);
        QCOMPARE(ensureLocalCopy(catalogue.db(), second(), "计划.doc"), copy);
        QCOMPARE(inodeOf(copy), inode);
        // No temporary file is left beside it.
        QCOMPARE(QDir(second()).entryList(QDir::Files | QDir::Hidden), QStringList{"计划.doc"});
    }

    // The next start clears what adds of a process that died left in the store: a journalled
    // copy whose row never came goes, one whose row was committed stays, and the work of a
    // process still running is left alone.
    void crashedAddsAreSwept() {
        TestCatalogue catalogue;
        const QString source = second() + "plan.doc";
        writeFile(source, "x");
        StoreStaging diedBeforeCommit(first());
        copyToStore(source, first(), {}, &diedBeforeCommit);
        StoreStaging diedAfterCommit(first());
        TemplateRecord row{
            .caption = "t",
            .fileName = QFileInfo(copyToStore(source, first(), {}, &diedAfterCommit)).fileName(),
            .typeName = "WORD"};
        addStoredTemplate(catalogue.db(), row, first(), &diedAfterCommit);
        const QString staging = first() + ".zq-staging/";
        const auto runsIn = [&] {
            return QDir(staging).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        };
        const QStringList runs = runsIn();
        QCOMPARE(runs.size(), 2);
        for (const QString& run : runs) // their process is gone
            QVERIFY(QDir().rename(staging + run, staging + "999999999-" + run));
        StoreStaging running(first());
        copyToStore(source, first(), {}, &running);

        sweepStaleStaging(catalogue.db(), first());
        QCOMPARE(QDir(first()).entryList(QDir::Files), (QStringList{"plan0.doc", "plan1.doc"}));
        QCOMPARE(runsIn().size(), 1);
    }

    void staleLocalCopyReplaced_data() {
        QTest::addColumn<QByteArray>("local");
        QTest::newRow("shorter") << QByteArray("abc");
        QTest::newRow("same size, other bytes") << QByteArray("0123456789");
        QTest::newRow("empty") << QByteArray();
    }
    void staleLocalCopyReplaced() {
        QFETCH(QByteArray, local);
        TestCatalogue catalogue;
        REQUIRE_KEPT_BYTES(catalogue);
        addOnFirst(catalogue, "a.doc", "abcdefghij");
        writeFile(second() + "a.doc", local);
        QCOMPARE(readFile(ensureLocalCopy(catalogue.db(), second(), "a.doc")),
                 QByteArray("abcdefghij"));
    }

    // Bytes in the database that do not match their hash are reported and never written.
    void corruptDatabaseCopyRefused() {
        TestCatalogue catalogue;
        REQUIRE_KEPT_BYTES(catalogue);
        addOnFirst(catalogue, "a.doc", "abcdefghij");
        runSql(catalogue.db(), "update ZQ_DocTemplateFile set FileContent = ?",
               {QByteArray("abcdefghiX")});
        writeFile(second() + "a.doc", "old");
        QVERIFY_THROWS_EXCEPTION(Error, ensureLocalCopy(catalogue.db(), second(), "a.doc"));
        QCOMPARE(readFile(second() + "a.doc"), QByteArray("old"));
        QVERIFY_THROWS_EXCEPTION(Error, ensureLocalCopy(catalogue.db(), first() + "new/", "a.doc"));
        QVERIFY(!QFile::exists(first() + "new/a.doc"));
    }

    // The deep check's view of the kept bytes: bytes cut short or changed in place are found,
    // sound ones (and the sound file beside them) never.
    void damagedKeptFilesFound_data() {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<bool>("damaged");
        QTest::newRow("sound") << QByteArray("abcdefghij") << false;
        QTest::newRow("truncated") << QByteArray("abcde") << true;
        QTest::newRow("same size, a byte changed") << QByteArray("abcdefghiX") << true;
        QTest::newRow("empty") << QByteArray("") << true;
    }
    void damagedKeptFilesFound() {
        QFETCH(QByteArray, stored);
        QFETCH(bool, damaged);
        TestCatalogue catalogue;
        REQUIRE_KEPT_BYTES(catalogue);
        addOnFirst(catalogue, "a.doc", "abcdefghij");
        addOnFirst(catalogue, "b.doc", binaryContent(70000, 3));
        runSql(catalogue.db(),
               "update ZQ_DocTemplateFile set FileContent = ? where DocFileName = ?",
               {stored, "a.doc"});
        QCOMPARE(damagedKeptFiles(catalogue.db()), damaged ? QStringList{"a.doc"} : QStringList());
    }

    // A link in the store is never read: neither sent with an edit, nor by the pass over files
    // that predate the table, nor taken as a new template's file. What it points to stays out
    // of the catalogue.
    void linksInTheStoreNeverSent() {
        TestCatalogue catalogue;
        QTemporaryDir outside;
        const QString secret = outside.filePath("secret.txt");
        writeFile(secret, "SECRET");
        addOnFirst(catalogue, "a.doc", "version 1");
        catalogue.addTemplate("old", "", "old.doc");
        for (const char* name : {"a.doc", "old.doc", "new.doc"}) {
            QFile::remove(first() + name);
            QVERIFY(QFile::link(secret, first() + name));
        }

        QVERIFY(!uploadLocalCopy(catalogue.db(), first(), "a.doc"));
        QCOMPARE(uploadMissingFiles(catalogue.db(), first()), 0);
        QVERIFY_THROWS_EXCEPTION(
            Error, addTemplateWithFile(
                       catalogue.db(),
                       {.caption = "new", .fileName = "new.doc", .typeName = "WORD"}, first()));
        QCOMPARE(catalogue.count("ZQ_DocTemplateFile"), 1);
        REQUIRE_KEPT_BYTES(catalogue);
        QCOMPARE(readFile(ensureLocalCopy(catalogue.db(), second(), "a.doc")),
                 QByteArray("version 1"));
        // The link in the first store is replaced by the catalogue's bytes, never written through.
        QCOMPARE(readFile(ensureLocalCopy(catalogue.db(), first(), "a.doc")),
                 QByteArray("version 1"));
        QVERIFY(!QFileInfo(first() + "a.doc").isSymLink());
        QCOMPARE(readFile(secret), QByteArray("SECRET"));
    }

    // An edit on the second workstation reaches the first; sending an unchanged copy is a
    // no-op.
    void editedCopyUploaded() {
        TestCatalogue catalogue;
        REQUIRE_KEPT_BYTES(catalogue);
        addOnFirst(catalogue, "a.doc", "version 1");
        ensureLocalCopy(catalogue.db(), second(), "a.doc");
        QVERIFY(!uploadLocalCopy(catalogue.db(), second(), "a.doc"));
        writeFile(second() + "a.doc", "version 2, longer");
        QVERIFY(uploadLocalCopy(catalogue.db(), second(), "a.doc"));
        QVERIFY(!uploadLocalCopy(catalogue.db(), second(), "a.doc"));
        QCOMPARE(readFile(ensureLocalCopy(catalogue.db(), first(), "a.doc")),
                 QByteArray("version 2, longer"));
        QCOMPARE(catalogue.count("ZQ_DocTemplateFile"), 1);
    }

    // The bytes go with the last row naming the file; a copy of a template deleted elsewhere
    // is offered no more, and its local copy does not bring it back.
    void deleteWithLastRow() {
        TestCatalogue catalogue;
        const qint64 id = addOnFirst(catalogue, "a.doc", "x");
        const qint64 twin = catalogue.addTemplate("twin", "", "a.doc");
        ensureLocalCopy(catalogue.db(), second(), "a.doc");

        QVERIFY(!deleteTemplateAndFile(catalogue.db(), twin));
        QCOMPARE(catalogue.count("ZQ_DocTemplateFile"), 1);
        QVERIFY(deleteTemplateAndFile(catalogue.db(), id));
        QCOMPARE(catalogue.count("ZQ_DocTemplateFile"), 0);
        QCOMPARE(catalogue.count("ZQ_DocTempDetail"), 0);

        writeFile(second() + "a.doc", "edited meanwhile");
        QVERIFY(!uploadLocalCopy(catalogue.db(), second(), "a.doc"));
        QCOMPARE(catalogue.count("ZQ_DocTemplateFile"), 0);
        QCOMPARE(ensureLocalCopy(catalogue.db(), second(), "a.doc"), second() + "a.doc");
        QVERIFY(!QFile::exists(second() + "a.doc"));
    }

    // A file that cannot go into the database fails the add, and nothing is catalogued.
    void failedFileWriteCataloguesNothing_data() {
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<bool>("writeLocal");
        QTest::newRow("name already in the database") << "a.doc" << true;
        QTest::newRow("file unreadable (missing)") << "gone.doc" << false;
        QTest::newRow("not a bare name") << "../a.doc" << false;
    }
    void failedFileWriteCataloguesNothing() {
        QFETCH(QString, fileName);
        QFETCH(bool, writeLocal);
        TestCatalogue catalogue;
        addOnFirst(catalogue, "a.doc", "first");
        if (writeLocal)
            writeFile(second() + fileName, "second");
        QVERIFY_THROWS_EXCEPTION(
            Error, addTemplateWithFile(catalogue.db(),
                                       {.caption = "t", .fileName = fileName, .typeName = "WORD"},
                                       second()));
        QCOMPARE(catalogue.count("ZQ_DocTempDetail"), 1);
        QCOMPARE(readFile(ensureLocalCopy(catalogue.db(), first(), "a.doc")), QByteArray("first"));
    }

    // A template added from a file: the copy takes a name free in the store and the catalogue,
    // is in the store when the add is asked to admit it, and stays only with its row.
    void templateAddedFromFile_data() {
        QTest::addColumn<QString>("classCode");
        QTest::addColumn<bool>("admitted");
        QTest::addColumn<bool>("catalogued");
        QTest::newRow("admitted") << "0001" << true << true;
        QTest::newRow("refused") << "0001" << false << false;
        QTest::newRow("its class is gone") << "0009" << true << false;
    }
    void templateAddedFromFile() {
        QFETCH(QString, classCode);
        QFETCH(bool, admitted);
        QFETCH(bool, catalogued);
        TestCatalogue catalogue;
        catalogue.addClass("0001", "类");
        addOnFirst(catalogue, "a.doc", "first");
        writeFile(second() + "a.doc", "new");
        TemplateRecord row{.caption = "新模板", .memo = "说明", .classCode = classCode};
        QByteArray seen;
        const auto admit = [&](TemplateRecord& admittedRow, const QString& stored) {
            seen = readFile(stored);
            admittedRow.typeName = "EXCEL";
            admittedRow.keyWord = "关键字";
            return admitted;
        };
        qint64 docId = -1;
        if (classCode == "0001")
            docId = addTemplateFile(catalogue.db(), first(), second() + "a.doc", row, admit);
        else
            QVERIFY_THROWS_EXCEPTION(
                Error, addTemplateFile(catalogue.db(), first(), second() + "a.doc", row, admit));

        QCOMPARE(seen, QByteArray("new"));
        QCOMPARE(row.fileName, QString("a0.doc"));
        QCOMPARE(docId > 0, catalogued);
        QCOMPARE(QFileInfo::exists(first() + "a0.doc"), catalogued);
        QCOMPARE(catalogue.count("ZQ_DocTempDetail"), catalogued ? 2 : 1);
        QCOMPARE(catalogue.count("ZQ_DocTemplateFile"), catalogued ? 2 : 1);
        if (!catalogued)
            return;
        const QList<TemplateRecord> templates = readClassTemplates(catalogue.db(), "0001");
        QCOMPARE(templates.size(), 1);
        QCOMPARE(templates[0].docId, docId);
        QCOMPARE((QStringList{templates[0].caption, templates[0].fileName, templates[0].memo,
                              templates[0].typeName, templates[0].keyWord}),
                 (QStringList{"新模板", "a0.doc", "说明", "EXCEL", "关键字"}));
        // Where the catalogue keeps the bytes, a workstation without the file gets them.
        QVERIFY(QDir().mkpath(m_second.filePath("copy")));
        const QString store = keepsFileBytes(catalogue.db()) ? m_second.filePath("copy/") : first();
        QCOMPARE(readFile(ensureLocalCopy(catalogue.db(), store, "a0.doc")), QByteArray("new"));
    }

    // An embedded catalogue records a file's size and hash, never its bytes: the store's copy is
    // the only one, and an edit there is what the catalogue records next.
    void embeddedCatalogueKeepsBytesOnce() {
        TestCatalogue catalogue;
        if (keepsFileBytes(catalogue.db()))
            QSKIP("a shared catalogue keeps the bytes");
        const QByteArray bytes = binaryContent(300 * 1024, 5);
        addOnFirst(catalogue, "a.doc", bytes);
        const auto recorded = [&] {
            QSqlQuery query =
                runSql(catalogue.db(), "select FileContent is null, FileSize, FileSha256 "
                                       "from ZQ_DocTemplateFile where DocFileName = 'a.doc'");
            return query.next() ? QVariantList{query.value(0).toBool(), query.value(1).toLongLong(),
                                               query.value(2).toString()}
                                : QVariantList();
        };
        const auto sha = [](const QByteArray& b) {
            return QString::fromLatin1(
                QCryptographicHash::hash(b, QCryptographicHash::Sha256).toHex());
        };
        QCOMPARE(recorded(), (QVariantList{true, qint64(bytes.size()), sha(bytes)}));
        QVERIFY(QFileInfo(catalogue.db().databaseName()).size() < bytes.size());

        writeFile(first() + "a.doc", "edited in the store");
        QCOMPARE(readFile(ensureLocalCopy(catalogue.db(), first(), "a.doc")),
                 QByteArray("edited in the store"));
        QVERIFY(uploadLocalCopy(catalogue.db(), first(), "a.doc"));
        QCOMPARE(recorded(), (QVariantList{true, qint64(19), sha("edited in the store")}));
        QCOMPARE(damagedKeptFiles(catalogue.db()), QStringList());
    }

    // Facts read as a file was written serve only while it is the same file, unchanged.
    void earlyFactsServeOnlyUnchangedFiles_data() {
        QTest::addColumn<QString>("change");
        QTest::addColumn<bool>("served");
        QTest::newRow("unchanged") << "" << true;
        QTest::newRow("rewritten, another size") << "rewrite" << false;
        QTest::newRow("replaced by a file of the same size") << "replace" << false;
        QTest::newRow("same bytes, another time") << "touch" << false;
        QTest::newRow("replaced by a link") << "link" << false;
        QTest::newRow("never read") << "unread" << false;
    }
    void earlyFactsServeOnlyUnchangedFiles() {
        QFETCH(QString, change);
        QFETCH(bool, served);
        const QString path = first() + "a.doc";
        writeFile(path, "first bytes");
        KnownFiles known(first());
        if (change != "unread")
            known.read("a.doc");
        if (change == "rewrite") {
            writeFile(path, "other bytes, longer");
        } else if (change == "replace") {
            writeFile(first() + "b.doc", "other bytes");
            QVERIFY(QFile::remove(path) && QFile::rename(first() + "b.doc", path));
        } else if (change == "touch") {
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadWrite));
            QVERIFY(file.setFileTime(QDateTime::currentDateTime().addSecs(60),
                                     QFileDevice::FileModificationTime));
        } else if (change == "link") {
            writeFile(first() + "b.doc", "first bytes");
            QVERIFY(QFile::remove(path) && QFile::link(first() + "b.doc", path));
        }
        const std::optional<FileFacts> facts = known.find("a.doc");
        QCOMPARE(facts.has_value(), served);
        if (served) {
            const LocalFile file = readLocalFile(path);
            QCOMPARE(facts->size, qint64(file.bytes.size()));
            QCOMPARE(facts->sha256, file.sha256);
            QCOMPARE(facts->modified, file.modified);
        }
    }

    // An embedded catalogue from before kept the bytes in a column that could not be empty: it
    // takes files without bytes from now on, and the bytes it kept still serve and are checked.
    void olderEmbeddedCatalogueStillServes() {
        if (!qEnvironmentVariableIsEmpty("ZQ_TEST_DATABASE"))
            QSKIP("embedded catalogues only");
        const QString file = m_second.filePath("older.db");
        {
            QSqlDatabase db = corvane::openHostDatabase("older", file, {});
            runSql(db, "create table ZQ_DocTemplateFile (DocFileName varchar(260) not null "
                       "primary key, FileContent blob not null, FileSize bigint not null, "
                       "FileSha256 varchar(64) not null, FileModified bigint not null)");
            const QByteArray sound = "sound bytes";
            const QString soundSha = QString::fromLatin1(
                QCryptographicHash::hash(sound, QCryptographicHash::Sha256).toHex());
            runSql(db, "insert into ZQ_DocTemplateFile values(?, ?, ?, ?, 0), (?, ?, ?, ?, 0)",
                   {"a.doc", sound, sound.size(), soundSha, "b.doc", QByteArray("cut"),
                    sound.size(), soundSha});
            runSql(db, "create table ZQ_DocTempDetail (DocID integer primary key, "
                       "DocFileName varchar(260))");
            runSql(db, "insert into ZQ_DocTempDetail(DocFileName) values('a.doc'), ('b.doc')");
            db.close();
        }
        QSqlDatabase::removeDatabase("older");
        const auto closeIt = qScopeGuard([] { QSqlDatabase::removeDatabase("older again"); });
        QSqlDatabase db = corvane::openHostDatabase("older again", file, {});
        QCOMPARE(readFile(ensureLocalCopy(db, first(), "a.doc")), QByteArray("sound bytes"));
        QCOMPARE(damagedKeptFiles(db), QStringList{"b.doc"});
        writeFile(first() + "c.doc", "new");
        runSql(db, "insert into ZQ_DocTempDetail(DocFileName) values('c.doc')");
        insertTemplateFile(db, first(), "c.doc");
        QVERIFY(sqlValue(db, "select FileContent is null from ZQ_DocTemplateFile "
                             "where DocFileName = 'c.doc'")
                    .toBool());
        db.close();
        db = QSqlDatabase();
    }

    // A new stored file never takes a name the catalogue knows, even when this workstation's
    // folder lacks the file.
    void storedNamesOfOtherWorkstationsTaken() {
        TestCatalogue catalogue;
        addOnFirst(catalogue, "a.doc", "x");
        catalogue.addTemplate("legacy", "", "b.doc");
        QVERIFY(storedNameTaken(catalogue.db(), "a.doc"));
        QVERIFY(storedNameTaken(catalogue.db(), "b.doc"));
        QVERIFY(!storedNameTaken(catalogue.db(), "c.doc"));

        const QString source = m_first.filePath("source/a.doc");
        QDir().mkpath(m_first.filePath("source"));
        writeFile(source, "y");
        const auto taken = [&](const QString& name) {
            return storedNameTaken(catalogue.db(), name);
        };
        QCOMPARE(copyToStore(source, second(), taken), second() + "a0.doc");
    }

    // Files that predate the table are sent once, when a row names them and this folder has
    // them; a row's file that lies on no workstation here is left to others. A folder of a few
    // files asks about those alone, a full one reads the catalogue's list: the same outcome.
    void preexistingFilesUploaded_data() {
        QTest::addColumn<int>("strays");
        QTest::newRow("few files here") << 0;
        QTest::newRow("many files here") << 600;
    }
    void preexistingFilesUploaded() {
        QFETCH(int, strays);
        for (int i = 0; i < strays; ++i)
            writeFile(first() + QStringLiteral("stray%1.doc").arg(i), "no row names it");
        const auto removeStrays = qScopeGuard([&] {
            for (int i = 0; i < strays; ++i)
                QFile::remove(first() + QStringLiteral("stray%1.doc").arg(i));
        });
        TestCatalogue catalogue;
        REQUIRE_KEPT_BYTES(catalogue);
        addOnFirst(catalogue, "in-table.doc", "t");
        catalogue.addTemplate("old", "", "old.doc");
        catalogue.addTemplate("old twin", "", "old.doc");
        catalogue.addTemplate("elsewhere", "", "elsewhere.doc");
        writeFile(first() + "old.doc", "legacy bytes");
        writeFile(first() + "stray.doc", "no row names it");

        // Before the pass the legacy file is this workstation's alone.
        QCOMPARE(readFile(ensureLocalCopy(catalogue.db(), first(), "old.doc")),
                 QByteArray("legacy bytes"));
        QVERIFY(!QFile::exists(ensureLocalCopy(catalogue.db(), second(), "old.doc")));

        QList<QPair<int, int>> steps;
        QCOMPARE(uploadMissingFiles(catalogue.db(), first(),
                                    [&](int done, int total) {
                                        steps.append({done, total});
                                    }),
                 1);
        QCOMPARE(steps, (QList<QPair<int, int>>{{1, 1}}));
        QCOMPARE(catalogue.count("ZQ_DocTemplateFile"), 2);
        QCOMPARE(uploadMissingFiles(catalogue.db(), first()), 0);
        QCOMPARE(readFile(ensureLocalCopy(catalogue.db(), second(), "old.doc")),
                 QByteArray("legacy bytes"));
    }

    // Workstations adding files of one name at once, each from its own store: every add is
    // catalogued under a name of its own, the bytes with it.
    void sameNamedAddsFromManyWorkstations() {
        TestCatalogue catalogue;
        if (!catalogue.isPostgres())
            QSKIP("needs a shared PostgreSQL catalogue");
        constexpr int kWorkstations = 4;
        const int adds = qMax(20, qEnvironmentVariableIntValue("ZQ_RACE_ROUNDS"));
        const QString source = m_first.filePath("same.doc");
        writeFile(source, "same");
        ensureTemplateFileTable(catalogue.db());
        std::latch start(kWorkstations);
        QStringList failures[kWorkstations];
        const auto workstation = [&](int index) {
            const QString name = QStringLiteral("adder%1").arg(index);
            QTemporaryDir store;
            {
                QSqlDatabase db = corvane::openHostDatabase(
                    name, QString(), qEnvironmentVariable("ZQ_TEST_DATABASE"));
                const auto taken = [&](const QString& file) { return storedNameTaken(db, file); };
                start.arrive_and_wait();
                for (int i = 0; i < adds; ++i) {
                    try {
                        const QString stored = copyToStore(source, store.path(), taken);
                        TemplateRecord row{.caption = "t",
                                           .fileName = QFileInfo(stored).fileName(),
                                           .typeName = "WORD"};
                        addStoredTemplate(db, row, store.path());
                        if (!QFile::exists(store.filePath(row.fileName)))
                            failures[index].append(row.fileName + " left the store");
                    } catch (const Error& error) {
                        failures[index].append(error.message() + " / " + error.details());
                    }
                }
                db.close();
            }
            QSqlDatabase::removeDatabase(name);
        };
        std::vector<std::thread> threads;
        for (int i = 0; i < kWorkstations; ++i)
            threads.emplace_back(workstation, i);
        for (std::thread& thread : threads)
            thread.join();
        QStringList all;
        for (const QStringList& list : failures)
            all += list;
        QCOMPARE(all, QStringList());
        const int total = kWorkstations * adds;
        QCOMPARE(catalogue.count("ZQ_DocTempDetail"), total);
        QCOMPARE(catalogue.count("ZQ_DocTemplateFile"), total);
        QCOMPARE(
            sqlValue(catalogue.db(),
                     QStringLiteral("select count(distinct DocFileName) from ZQ_DocTempDetail"))
                .toInt(),
            total);
    }
};

QTEST_GUILESS_MAIN(TestTemplateFiles)
#include "tst_templatefiles.moc"
