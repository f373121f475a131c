#pragma once

#include <QSet>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariantList>
#include <functional>

#include "util/Error.h"

namespace zq {

// Prepares the statement on the catalogue connection, binds the values in order and runs it.
// Throws zq::Error with the database's message when there is no connection or it fails.
QSqlQuery runSql(const QSqlDatabase& db, const QString& sql, const QVariantList& values = {});

// Prepares the statement once and runs it for every row of values: columns[i] holds the i-th
// value of each run. Null texts are bound as empty ones, as by runSql. Throws like runSql.
void runSqlBatch(const QSqlDatabase& db, const QString& sql, const QList<QVariantList>& columns);

// "?,?,…,?" with `count` marks, for a statement's "in (…)" or a row of values.
QString placeholders(qsizetype count);

// Every value of the statement's first column, as a set.
QSet<QString> columnValues(const QSqlDatabase& db, const QString& sql,
                           const QVariantList& values = {});

// Runs a one-value query and gives that value, or an invalid variant when there is no row.
QVariant sqlValue(const QSqlDatabase& db, const QString& sql, const QVariantList& values = {});

// Whether the connection is to PostgreSQL (otherwise SQLite).
bool isPostgres(const QSqlDatabase& db);

// Whether the database has the table (or virtual table), named as the code names it.
bool tableExists(const QSqlDatabase& db, const QString& table);

// Lock order. Every operation that writes both the class and the template table takes the class
// table first, then template rows, then stored files: a writer into a class holds the class
// table (lockClassesFirst) or the class's row (requireClass) before it touches a template row;
// a class-tree delete takes the class table in exclusive mode, then the template table in share
// mode, before it reads a row. SQLite's one write lock orders every writer already.
void lockClassesFirst(const QSqlDatabase& db);

// A deadlock or serialization failure the engine reported; the transaction is gone and the
// whole operation may be run again.
class ConflictError : public Error {
public:
    using Error::Error;
};

// Whether a transaction is open on the connection.
bool inTransaction(const QSqlDatabase& db);

// Runs `make` (statements that create tables when missing, `lastTable` the last of them) unless
// it already ran for this database and connection outside a transaction, where it is
// remembered. Inside a transaction, which a rollback could take the tables away with, it asks
// the database whether the last table is there first: one look-up, not every statement.
void ensureTablesOnce(const QSqlDatabase& db, const QString& lastTable,
                      const std::function<void()>& make);

// Runs the operation (one transaction of its own) again when the engine ended it for a
// deadlock or a serialization failure, a few times before the last failure goes to the caller.
// Inside another transaction it runs once: that transaction is gone with the conflict.
template <typename Operation> auto retryOnConflict(const QSqlDatabase& db, Operation&& operation) {
    constexpr int kAttempts = 5;
    for (int attempt = 1;; ++attempt) {
        try {
            return operation();
        } catch (const ConflictError&) {
            if (attempt == kAttempts || inTransaction(db))
                throw;
        }
    }
}

// A transaction on the catalogue connection, rolled back unless committed. Opened while another
// is open on the same connection, it joins that one, which alone commits or rolls back. On
// SQLite it takes the write lock at once, so that what it reads stays true until it ends.
class Transaction {
public:
    explicit Transaction(const QSqlDatabase& db);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    void commit();
    bool isPostgres() const;

private:
    QSqlDatabase m_db;
    bool m_open = false;
    bool m_joined = false;
};

// For the length of a bulk write on SQLite: statement journals in memory. A bulk import runs each
// batch in a savepoint, whose journal SQLite otherwise writes page by page to a temporary file.
// Changing the setting drops the connection's temporary tables, which every user recreates.
class MemoryTempStore {
public:
    explicit MemoryTempStore(const QSqlDatabase& db);
    ~MemoryTempStore();
    MemoryTempStore(const MemoryTempStore&) = delete;
    MemoryTempStore& operator=(const MemoryTempStore&) = delete;

private:
    QSqlDatabase m_db;
    QVariant m_previous;
};

} // namespace zq
