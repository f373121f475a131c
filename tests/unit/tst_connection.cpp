#include "HostDatabase.h"
#include "TestCatalogue.h"
#include "catalogue/ClassCatalogue.h"
#include "catalogue/Sql.h"
#include "util/Error.h"

#include <QElapsedTimer>
#include <QScopeGuard>
#include <QSqlError>
#include <QTemporaryDir>
#include <QTest>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace zq;
using zq::test::TestCatalogue;

namespace {

// A second connection to the test server, for the duration of one test.
class OtherConnection {
public:
    OtherConnection()
        : m_db(corvane::openHostDatabase(QStringLiteral("other"), {},
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

} // namespace

class TestConnection : public QObject {
    Q_OBJECT

private slots:
    // The server ends the catalogue's backend (a restart, a dropped link): a read opens the
    // connection again and goes through; a write is reported, not repeated.
    void lostConnectionIsOpenedAgain() {
        TestCatalogue catalogue;
        if (!catalogue.isPostgres())
            QSKIP("needs the PostgreSQL server of the test run");
        catalogue.addClass("0001", "甲");
        OtherConnection other;
        const auto endBackend = [&] {
            const QVariant pid = sqlValue(catalogue.db(), "select pg_backend_pid()");
            QVERIFY(sqlValue(other.db(), "select pg_terminate_backend(?, 5000)", {pid}).toBool());
        };

        endBackend();
        QCOMPARE(classNameOfCode(catalogue.db(), "0001"), QString("甲"));
        // The new connection keeps the session's settings.
        QCOMPARE(sqlValue(catalogue.db(), "show statement_timeout").toString(), QString("30s"));

        endBackend();
        try {
            runSql(catalogue.db(),
                   "update ZQ_DocInfoMaster set DocSortName = ? where DocSortID = ?",
                   {"乙", "0001"});
            QFAIL("a write on a lost connection went through unreported");
        } catch (const Error& e) {
            QVERIFY(e.message().contains("连接曾中断"));
            QVERIFY(!e.details().isEmpty());
        }
        QCOMPARE(classNameOfCode(catalogue.db(), "0001"), QString("甲"));

        // A transaction starts afresh on a connection lost before it began.
        endBackend();
        Transaction transaction(catalogue.db());
        runSql(catalogue.db(), "update ZQ_DocInfoMaster set DocSortName = ? where DocSortID = ?",
               {"丙", "0001"});
        transaction.commit();
        QCOMPARE(classNameOfCode(catalogue.db(), "0001"), QString("丙"));

        // Lost inside a transaction: the plain message, the driver's words only under details.
        try {
            Transaction lost(catalogue.db());
            runSql(catalogue.db(), "select 1");
            endBackend();
            runSql(catalogue.db(),
                   "update ZQ_DocInfoMaster set DocSortName = ? where DocSortID = ?",
                   {"丁", "0001"});
            QFAIL("a write in a lost transaction went through unreported");
        } catch (const Error& e) {
            QCOMPARE(e.message(), QString("无法连接模板目录数据库，请检查网络和数据库服务器。"));
            QVERIFY(!e.details().isEmpty());
        }
        QCOMPARE(classNameOfCode(catalogue.db(), "0001"), QString("丙"));

        // A server that cannot be reached again is named as such; once it can, the next
        // statement opens the connection.
        const int port = catalogue.db().port();
        endBackend();
        catalogue.db().setPort(1); // nothing listens there
        try {
            classNameOfCode(catalogue.db(), "0001");
            QFAIL("a read on an unreachable server went through");
        } catch (const Error& e) {
            QVERIFY(e.message().startsWith("无法连接模板目录数据库"));
        }
        catalogue.db().setPort(port);
        QCOMPARE(classNameOfCode(catalogue.db(), "0001"), QString("丙"));
    }

    // A server that takes the connection and never answers fails the start within the connect
    // timeout instead of hanging the host.
    void silentServerTimesOut() {
        // A listening socket: the kernel takes the connection, nobody ever answers.
        const int silent = socket(AF_INET, SOCK_STREAM, 0);
        const auto closeSilent = qScopeGuard([&] { close(silent); });
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        QVERIFY(bind(silent, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0);
        QVERIFY(listen(silent, 4) == 0);
        QVERIFY(getsockname(silent, reinterpret_cast<sockaddr*>(&address), &length) == 0);
        QElapsedTimer clock;
        clock.start();
        try {
            corvane::openHostDatabase(
                "silent", {},
                QString("postgresql://nobody@127.0.0.1:%1/none").arg(ntohs(address.sin_port)));
            QFAIL("a server that never answers was taken as open");
        } catch (const std::runtime_error& e) {
            QVERIFY(QString::fromLocal8Bit(e.what()).contains("timeout", Qt::CaseInsensitive));
        }
        QSqlDatabase::removeDatabase("silent");
        QVERIFY2(clock.elapsed() < 30000, "the connect timeout did not end the wait");
    }

    // Another program holds the SQLite file: after the busy timeout the failure says so in
    // Chinese, with the engine's words as details.
    void lockedFileSaysSo() {
        QTemporaryDir folder;
        const QString file = folder.filePath("catalogue.db");
        {
            QSqlDatabase db = corvane::openHostDatabase("first", file);
            corvane::createHostSchema(db);
            db.close();
            db.setConnectOptions("QSQLITE_BUSY_TIMEOUT=200");
            QVERIFY(db.open());
            QSqlDatabase holder = corvane::openHostDatabase("holder", file);
            runSql(holder, "begin exclusive");
            try {
                readClassRows(db);
                QFAIL("a locked file was read");
            } catch (const Error& e) {
                QCOMPARE(e.message(),
                         QString("模板目录数据库正被其他程序占用，等待超时，请稍后再试。"));
                QVERIFY(e.details().contains("locked"));
            }
            runSql(holder, "rollback");
            QVERIFY(readClassRows(db).isEmpty());
            db.close();
            holder.close();
        }
        QSqlDatabase::removeDatabase("first");
        QSqlDatabase::removeDatabase("holder");
    }
};

QTEST_GUILESS_MAIN(TestConnection)
#include "tst_connection.moc"
