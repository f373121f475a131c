#include "catalogue/Sql.h"

#include "catalogue/CatalogueNotices.h"
#include "util/Error.h"

#include <QMutex>
#include <QSet>
#include <QSqlDriver>
#include <QSqlError>

namespace zq {

namespace {

// The connections with a transaction open, by name (unique in the process): a statement
// inside one is never run a second time, the transaction having gone with a lost connection,
// and a transaction opened inside another joins it. Locked rather than thread-local: glibc
// keeps a released library with a thread-local destructor pending half-unloaded, and the
// host crashed on exit after any transaction.
class OpenTransactions {
public:
    bool contains(const QString& connection) const {
        const QMutexLocker lock(&m_lock);
        return m_names.contains(connection);
    }
    void insert(const QString& connection) {
        const QMutexLocker lock(&m_lock);
        m_names.insert(connection);
    }
    void remove(const QString& connection) {
        const QMutexLocker lock(&m_lock);
        m_names.remove(connection);
    }

private:
    mutable QMutex m_lock;
    QSet<QString> m_names;
};
OpenTransactions g_openTransactions;

const QString kNoConnection = QStringLiteral("无法连接模板目录数据库，请检查网络和数据库服务器。");

// Opens the connection again with its own settings; throws when the server cannot be reached.
void reopen(QSqlDatabase db) {
    db.close();
    if (!db.open())
        throw Error(kNoConnection, db.lastError().text().trimmed());
}

void requireConnection(const QSqlDatabase& db) {
    if (!db.isValid())
        throw Error(QStringLiteral("没有可用的模板目录数据库连接。"));
    if (!db.isOpen()) // closed by a reconnection that failed earlier: try once more
        reopen(db);
}

// A statement failed on PostgreSQL: whether the connection itself is gone (the server
// restarted, the backend was ended, the network dropped), as opposed to the statement failing.
bool connectionLost(const QSqlDatabase& db) {
    if (!isPostgres(db))
        return false;
    QSqlQuery probe(db);
    return !probe.exec(QStringLiteral("select 1"));
}

// Inside a transaction the connection cannot be probed (an aborted transaction refuses every
// statement): the error itself tells. The server sends a state with every error of its own,
// a connection exception (08) or a shutdown (57P0x) when it ends the link; a link broken
// underneath has none.
bool linkBroken(const QSqlDatabase& db, const QSqlError& error) {
    const QString code = error.nativeErrorCode();
    return isPostgres(db) && (code.isEmpty() || code.startsWith(QLatin1String("08")) ||
                              code.startsWith(QLatin1String("57P0")));
}

// The user reads a Chinese sentence saying what went wrong; the engine's own words go to the
// details, never the statement.
[[noreturn]] void fail(const QSqlDatabase& db, const QSqlError& error) {
    const QString code = error.nativeErrorCode();
    QString message = QStringLiteral("数据库操作失败。");
    if (!isPostgres(db) && (code == QLatin1String("5") || code == QLatin1String("6")))
        message = QStringLiteral("模板目录数据库正被其他程序占用，等待超时，请稍后再试。");
    else if (code == QLatin1String("57014"))
        message = QStringLiteral("数据库操作超时，请稍后再试。");
    else if (code == QLatin1String("40P01") || code == QLatin1String("40001"))
        throw ConflictError(message, error.text().trimmed());
    throw Error(message, error.text().trimmed());
}

// Starts a transaction and gives the error, or an invalid one. SQLite takes its write lock at
// once, so that what the transaction reads stays true until it ends.
QSqlError begin(QSqlDatabase db) {
    if (isPostgres(db))
        return db.transaction() ? QSqlError() : db.lastError();
    QSqlQuery query(db);
    return query.exec(QStringLiteral("begin immediate")) ? QSqlError() : query.lastError();
}

// A null text would be bound as NULL; the catalogue stores empty texts.
QVariant bound(const QVariant& value) {
    const bool nullText = value.typeId() == QMetaType::QString && value.toString().isNull();
    return nullText ? QVariant(QString("")) : value;
}

// PostgreSQL cannot prepare every statement (LOCK, DDL); those without values run as is.
bool execute(QSqlQuery& query, const QString& sql, const QVariantList& values) {
    query.setForwardOnly(true);
    if (values.isEmpty())
        return query.exec(sql);
    if (!query.prepare(sql))
        return false;
    for (const QVariant& value : values)
        query.addBindValue(bound(value));
    return query.exec();
}

} // namespace

QSqlQuery runSql(const QSqlDatabase& db, const QString& sql, const QVariantList& values) {
    requireConnection(db);
    QSqlQuery query(db);
    if (execute(query, sql, values))
        return query;
    const QSqlError error = query.lastError();
    if (g_openTransactions.contains(db.connectionName())) {
        // The transaction went with a lost connection; nothing is run again.
        if (linkBroken(db, error))
            throw Error(kNoConnection, error.text().trimmed());
        fail(db, error);
    }
    if (!connectionLost(db))
        fail(db, error);
    // The connection is gone: open it again and run a read once more. A write may have been
    // done before the link broke, so it is reported, never silently repeated.
    reopen(db);
    if (!sql.trimmed().startsWith(QLatin1String("select"), Qt::CaseInsensitive))
        throw Error(QStringLiteral("与模板目录数据库的连接曾中断，现已重新连接；"
                                   "刚才的修改可能没有保存，请刷新后核对。"),
                    error.text().trimmed());
    QSqlQuery retry(db);
    if (!execute(retry, sql, values))
        fail(db, retry.lastError());
    return retry;
}

void runSqlBatch(const QSqlDatabase& db, const QString& sql, const QList<QVariantList>& columns) {
    requireConnection(db);
    if (columns.isEmpty() || columns.first().isEmpty())
        return;
    QSqlQuery query(db);
    if (!query.prepare(sql))
        fail(db, query.lastError());
    for (const QVariantList& column : columns) {
        QVariantList values;
        values.reserve(column.size());
        for (const QVariant& value : column)
            values.append(bound(value));
        query.addBindValue(values);
    }
    if (!query.execBatch())
        fail(db, query.lastError());
}

QVariant sqlValue(const QSqlDatabase& db, const QString& sql, const QVariantList& values) {
    QSqlQuery query = runSql(db, sql, values);
    return query.next() ? query.value(0) : QVariant();
}

Transaction::Transaction(const QSqlDatabase& db)
    : m_db(db) {
    requireConnection(m_db);
    if (g_openTransactions.contains(m_db.connectionName())) {
        m_joined = true;
        return;
    }
    // Nothing has happened yet, so a connection lost before the start is simply opened again.
    if (const QSqlError error = begin(m_db); error.isValid()) {
        if (!connectionLost(m_db))
            fail(m_db, error);
        reopen(m_db);
        if (const QSqlError again = begin(m_db); again.isValid())
            fail(m_db, again);
    }
    m_open = true;
    g_openTransactions.insert(m_db.connectionName());
}

Transaction::~Transaction() {
    if (m_open) {
        m_db.rollback();
        g_openTransactions.remove(m_db.connectionName());
        CatalogueNotices::instance().transactionEnded(m_db.connectionName(), false);
    }
}

void Transaction::commit() {
    if (m_joined)
        return;
    if (!m_db.commit()) {
        const QSqlError error = m_db.lastError();
        if (linkBroken(m_db, error))
            throw Error(kNoConnection, error.text().trimmed());
        fail(m_db, error);
    }
    m_open = false;
    g_openTransactions.remove(m_db.connectionName());
    CatalogueNotices::instance().transactionEnded(m_db.connectionName(), true);
}

MemoryTempStore::MemoryTempStore(const QSqlDatabase& db)
    : m_db(db) {
    if (zq::isPostgres(m_db) || inTransaction(m_db))
        return;
    m_previous = sqlValue(m_db, QStringLiteral("pragma temp_store"));
    runSql(m_db, QStringLiteral("pragma temp_store = memory"));
}

MemoryTempStore::~MemoryTempStore() {
    if (m_previous.isValid() && !inTransaction(m_db))
        QSqlQuery(m_db).exec(QStringLiteral("pragma temp_store = %1").arg(m_previous.toInt()));
}

QString placeholders(qsizetype count) {
    return QStringList(count, QStringLiteral("?")).join(QLatin1Char(','));
}

bool isPostgres(const QSqlDatabase& db) {
    return db.driver()->dbmsType() == QSqlDriver::PostgreSQL;
}

bool inTransaction(const QSqlDatabase& db) {
    return g_openTransactions.contains(db.connectionName());
}

void lockClassesFirst(const QSqlDatabase& db) {
    if (isPostgres(db))
        runSql(db, QStringLiteral("lock table ZQ_DocInfoMaster in row exclusive mode"));
}

bool Transaction::isPostgres() const {
    return zq::isPostgres(m_db);
}

QSet<QString> columnValues(const QSqlDatabase& db, const QString& sql, const QVariantList& values) {
    QSet<QString> column;
    QSqlQuery query = runSql(db, sql, values);
    while (query.next())
        column.insert(query.value(0).toString());
    return column;
}

void ensureTablesOnce(const QSqlDatabase& db, const QString& lastTable,
                      const std::function<void()>& make) {
    static QMutex lock;
    static QSet<QString> ensured;
    const QString key = lastTable + QLatin1Char('\n') + db.connectionName() + QLatin1Char('\n') +
                        db.hostName() + QLatin1Char('\n') + QString::number(db.port()) +
                        QLatin1Char('\n') + db.databaseName();
    const QMutexLocker locker(&lock);
    if (ensured.contains(key))
        return;
    if (!inTransaction(db)) {
        make();
        ensured.insert(key);
        return;
    }
    if (!tableExists(db, lastTable))
        make();
}

bool tableExists(const QSqlDatabase& db, const QString& table) {
    const QString exists = isPostgres(db)
                               ? QStringLiteral("select 1 where to_regclass(?) is not null")
                               : QStringLiteral("select 1 from sqlite_master where type = 'table' "
                                                "and name = ?");
    return sqlValue(db, exists, {table}).isValid();
}

} // namespace zq
