#pragma once

#include <QSet>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariantList>

namespace zq {

// Prepares the statement on the catalogue connection, binds the values in order and runs it.
// Throws zq::Error with the database's message when there is no connection or it fails.
QSqlQuery runSql(const QSqlDatabase& db, const QString& sql, const QVariantList& values = {});

// Prepares the statement once and runs it for every row of values: columns[i] holds the i-th
// value of each run. Throws like runSql.
void runSqlBatch(const QSqlDatabase& db, const QString& sql, const QList<QVariantList>& columns);

// Every value of the statement's first column, as a set.
QSet<QString> columnValues(const QSqlDatabase& db, const QString& sql);

// Runs a one-value query and gives that value, or an invalid variant when there is no row.
QVariant sqlValue(const QSqlDatabase& db, const QString& sql, const QVariantList& values = {});

// Whether the connection is to PostgreSQL (otherwise SQLite).
bool isPostgres(const QSqlDatabase& db);

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

} // namespace zq
