#include "HostDatabase.h"
#include "TestCatalogue.h"
#include "catalogue/CatalogueNotices.h"
#include "catalogue/ClassCatalogue.h"
#include "catalogue/ClassMoves.h"
#include "catalogue/PostgresWire.h"
#include "catalogue/Sql.h"
#include "catalogue/TemplateDocuments.h"
#include "catalogue/TemplateFiles.h"

#include <QSignalSpy>
#include <QSqlDriver>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

using namespace zq;
using zq::test::TestCatalogue;

namespace {

// The notices this process hears while it lives, as payloads.
class Heard {
public:
    Heard() {
        m_connection = QObject::connect(
            &CatalogueNotices::instance(), &CatalogueNotices::changed,
            [this](const CatalogueChange& change) { payloads.append(change.payload()); });
    }
    ~Heard() { QObject::disconnect(m_connection); }
    QStringList payloads;

private:
    QMetaObject::Connection m_connection;
};

// A second connection to the catalogue, for the duration of one test.
class OtherConnection {
public:
    explicit OtherConnection(const QString& sqliteFile = QString())
        : m_db(corvane::openHostDatabase(QStringLiteral("other"), sqliteFile,
                                         qEnvironmentVariable("ZQ_TEST_DATABASE"))) {}
    ~OtherConnection() {
        m_db.close();
        m_db = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("other"));
    }
    QSqlDatabase& db() { return m_db; }

private:
    QSqlDatabase m_db;
};

// Long enough for a notice the server sent to have arrived on a loopback connection.
void settle() {
    QTest::qWait(300);
}

TemplateRecord templateRow(const QString& caption, const QString& classCode) {
    return TemplateRecord{0, caption, caption + ".doc", QString(), "WORD", QString(), classCode};
}

} // namespace

class TestNotices : public QObject {
    Q_OBJECT

private slots:
    void payloadsReadBack_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("payload");
        QTest::newRow("class added") << int(ChangeKind::ClassAdded) << "0001"
                                     << "class-added:0001";
        QTest::newRow("class renamed") << int(ChangeKind::ClassRenamed) << "00010002"
                                       << "class-renamed:00010002";
        QTest::newRow("class deleted") << int(ChangeKind::ClassDeleted) << "0003"
                                       << "class-deleted:0003";
        QTest::newRow("class moved") << int(ChangeKind::ClassMoved) << "0003"
                                     << "class-moved:0003";
        QTest::newRow("template added") << int(ChangeKind::TemplateAdded) << "17"
                                        << "template-added:17";
        QTest::newRow("template described") << int(ChangeKind::TemplateDescribed) << "17"
                                            << "template-described:17";
        QTest::newRow("template deleted") << int(ChangeKind::TemplateDeleted) << "17"
                                          << "template-deleted:17";
        QTest::newRow("template moved") << int(ChangeKind::TemplateMoved) << "17"
                                        << "template-moved:17";
        QTest::newRow("package, no key") << int(ChangeKind::PackageImported) << ""
                                         << "package-imported:";
        QTest::newRow("data pack") << int(ChangeKind::DataPackImported) << ""
                                   << "datapack-imported:";
        // A stored name may hold the separator itself.
        QTest::newRow("file with a colon") << int(ChangeKind::FileChanged) << "审计:底稿.doc"
                                           << "file-changed:审计:底稿.doc";
        QTest::newRow("reload") << int(ChangeKind::Reload) << ""
                                << "reload:";
    }
    void payloadsReadBack() {
        QFETCH(int, kind);
        QFETCH(QString, key);
        QFETCH(QString, payload);
        const CatalogueChange change{ChangeKind(kind), key};
        QCOMPARE(change.payload(), payload);
        QCOMPARE(CatalogueChange::fromPayload(payload), std::optional(change));
    }

    void foreignPayloadsAreNotNotices_data() {
        QTest::addColumn<QString>("payload");
        QTest::newRow("empty") << "";
        QTest::newRow("no separator") << "class-added";
        QTest::newRow("unknown kind") << "class-painted:0001";
        QTest::newRow("kind in another case") << "Class-Added:0001";
    }
    void foreignPayloadsAreNotNotices() {
        QFETCH(QString, payload);
        QVERIFY(!CatalogueChange::fromPayload(payload));
    }

    // Each write, committed, is heard once with its kind and key, on either engine (on
    // PostgreSQL through the server, the writer's connection listening too).
    void eachWriteIsHeardOnceAfterCommit() {
        TestCatalogue catalogue;
        QSqlDatabase& db = catalogue.db();
        CatalogueNotices::instance().check(db);
        catalogue.addClass("0001", "甲");
        catalogue.addClass("0002", "乙");
        qint64 docId = 0;
        CatalogueMove classMove;
        struct Case {
            const char* name;
            std::function<void()> write;
            std::function<QString()> expected;
        };
        const QList<Case> cases{
            {"insertClass", [&] { insertClass(db, "0003", "丙", {}); },
             [] { return QString("class-added:0003"); }},
            {"addChildClass", [&] { addChildClass(db, "0001", "子", {}, {}); },
             [] { return QString("class-added:00010001"); }},
            {"updateClass", [&] { updateClass(db, "0001", "甲二", {}); },
             [] { return QString("class-renamed:0001"); }},
            {"insertTemplate", [&] { docId = insertTemplate(db, templateRow("表", "0001")); },
             [&] { return "template-added:" + QString::number(docId); }},
            {"updateTemplateText", [&] { updateTemplateText(db, docId, "表二", "说明"); },
             [&] { return "template-described:" + QString::number(docId); }},
            {"moveDocToClass", [&] { moveDocToClass(db, docId, "0002"); },
             [&] { return "template-moved:" + QString::number(docId); }},
            {"moveClassTo", [&] { classMove = moveClassTo(db, "0003", "0002"); },
             [] { return QString("class-moved:0003"); }},
            {"undoMove of a class", [&] { undoMove(db, classMove); },
             [] { return QString("class-moved:00020001"); }},
            {"deleteTemplateAndFile", [&] { deleteTemplateAndFile(db, docId); },
             [&] { return "template-deleted:" + QString::number(docId); }},
            {"deleteEmptyClassTree", [&] { deleteEmptyClassTree(db, "0003"); },
             [] { return QString("class-deleted:0003"); }},
        };
        for (const Case& c : cases) {
            Heard heard;
            c.write();
            QTRY_VERIFY2(!heard.payloads.isEmpty(), c.name);
            settle();
            QVERIFY2(heard.payloads == QStringList{c.expected()},
                     qPrintable(QString("%1: %2").arg(c.name, heard.payloads.join(", "))));
        }
    }

    // Nothing is heard of a write that did not happen: rolled back, or refused before its end.
    void unfinishedWritesAreNotHeard() {
        TestCatalogue catalogue;
        QSqlDatabase& db = catalogue.db();
        CatalogueNotices::instance().check(db);
        catalogue.addClass("0001", "甲");
        catalogue.addTemplate("表", "0001");
        Heard heard;
        {
            Transaction transaction(db);
            insertClass(db, "0002", "乙", {});
            updateClass(db, "0001", "甲二", {});
        }
        QCOMPARE(deleteEmptyClassTree(db, "0001"), ClassTreeDeletion::HasTemplates);
        QVERIFY_THROWS_EXCEPTION(Error, moveDocToClass(db, 999999, "0001"));
        settle();
        QCOMPARE(heard.payloads, QStringList());
        // The bulk of one transaction is heard at its commit, each change once.
        {
            Transaction transaction(db);
            insertClass(db, "0002", "乙", {});
            updateClass(db, "0002", "乙二", {});
            updateClass(db, "0002", "乙三", {});
            if (!catalogue.isPostgres())
                QCOMPARE(heard.payloads, QStringList());
            transaction.commit();
        }
        QTRY_COMPARE(heard.payloads, QStringList({"class-added:0002", "class-renamed:0002"}));
    }

    // Two workstations: a commit on one reaches the other, once, with its payload, and only at
    // the commit; a rolled-back write reaches it never.
    void otherConnectionHearsCommitsOnly() {
        TestCatalogue catalogue;
        if (!catalogue.isPostgres())
            QSKIP("needs the PostgreSQL server of the test run");
        OtherConnection other;
        QSqlDriver* driver = other.db().driver();
        QVERIFY(driver->subscribeToNotification(QString::fromLatin1(kNoticeChannel)));
        QSignalSpy heard(driver, &QSqlDriver::notification);
        catalogue.addClass("0001", "甲");
        {
            Transaction transaction(catalogue.db());
            updateClass(catalogue.db(), "0001", "甲二", {});
            settle();
            QCOMPARE(heard.count(), 0);
            transaction.commit();
        }
        QTRY_COMPARE(heard.count(), 1);
        QCOMPARE(heard.at(0).at(0).toString(), QString::fromLatin1(kNoticeChannel));
        QCOMPARE(heard.at(0).at(1).value<QSqlDriver::NotificationSource>(),
                 QSqlDriver::OtherSource);
        QCOMPARE(heard.at(0).at(2).toString(), QString("class-renamed:0001"));
        {
            Transaction transaction(catalogue.db());
            insertClass(catalogue.db(), "0002", "乙", {});
        }
        settle();
        QCOMPARE(heard.count(), 1);
    }

    // The server ends the connection: said once, then it is opened again, listens again and a
    // full reload is asked for, the notices sent meanwhile being lost.
    void lostConnectionIsSaidOnceAndNoticesResume() {
        TestCatalogue catalogue;
        if (!catalogue.isPostgres())
            QSKIP("needs the PostgreSQL server of the test run");
        QSqlDatabase& db = catalogue.db();
        CatalogueNotices& hub = CatalogueNotices::instance();
        hub.check(db);
        OtherConnection other;
        QSignalSpy states(&hub, &CatalogueNotices::connectionLost);
        const QVariant pid = sqlValue(db, "select pg_backend_pid()");
        QVERIFY(sqlValue(other.db(), "select pg_terminate_backend(?, 5000)", {pid}).toBool());
        // The driver reads the end of the link as its socket wakes; until then the connection
        // looks up.
        QTRY_VERIFY(PQstatus(postgresConnection(db)) == CONNECTION_BAD);
        Heard heard;
        hub.check(db);
        hub.check(db);
        QCOMPARE(states.count(), 2);
        QCOMPARE(states.at(0).at(1).toBool(), true);
        QCOMPARE(states.at(1).at(1).toBool(), false);
        QCOMPARE(heard.payloads, QStringList{"reload:"});
        QVERIFY(!hub.isLost(db));
        updateClass(other.db(), "0001", "甲", {});
        QTRY_COMPARE(heard.payloads, QStringList({"reload:", "class-renamed:0001"}));
    }

    // One workstation on SQLite: another process's commit is seen at the next look, as a
    // reload; this connection's own commits are not counted twice.
    void otherWritersOfTheFileAreSeen() {
        QTemporaryDir folder;
        const QString file = folder.filePath("catalogue.db");
        TestCatalogue catalogue(file);
        if (catalogue.isPostgres())
            QSKIP("the embedded catalogue's file");
        CatalogueNotices& hub = CatalogueNotices::instance();
        hub.check(catalogue.db());
        OtherConnection other(file);
        Heard heard;
        insertClass(catalogue.db(), "0001", "甲", {});
        hub.check(catalogue.db());
        QCOMPARE(heard.payloads, QStringList{"class-added:0001"});
        runSql(other.db(), "update ZQ_DocInfoMaster set DocSortName = '乙'");
        hub.check(catalogue.db());
        hub.check(catalogue.db());
        QCOMPARE(heard.payloads, QStringList({"class-added:0001", "reload:"}));
    }
};

QTEST_GUILESS_MAIN(TestNotices)
#include "tst_notices.moc"
