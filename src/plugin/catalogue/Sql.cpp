#include "catalogue/Sql.h"

#include "util/Error.h"

#include <QSqlDriver>
#include <QSqlError>

namespace zq {

namespace {

void requireConnection(const QSqlDatabase& db) {
    if (!db.isValid() || !db.isOpen())
        throw Error(QStringLiteral("没有可用的模板目录数据库连接。"));
}

// The user reads a Chinese sentence; the engine's own words go to the details.
[[noreturn]] void fail(const QSqlError& error) {
    throw Error(QStringLiteral("数据库操作失败。"), error.text().trimmed());
}

} // namespace

QSqlQuery runSql(const QSqlDatabase& db, const QString& sql, const QVariantList& values) {
    requireConnection(db);
    QSqlQuery query(db);
    query.setForwardOnly(true);
    // PostgreSQL cannot prepare every statement (LOCK, DDL); those without values run as is.
    if (values.isEmpty()) {
        if (!query.exec(sql))
            fail(query.lastError());
        return query;
    }
    if (!query.prepare(sql))
        fail(query.lastError());
    for (const QVariant& value : values) {
        // A null text would be bound as NULL; the catalogue stores empty texts.
        const bool nullText = value.typeId() == QMetaType::QString && value.toString().isNull();
        query.addBindValue(nullText ? QVariant(QString("")) : value);
    }
    if (!query.exec())
        fail(query.lastError());
    return query;
}

void runSqlBatch(const QSqlDatabase& db, const QString& sql, const QList<QVariantList>& columns) {
    requireConnection(db);
    if (columns.isEmpty() || columns.first().isEmpty())
        return;
    QSqlQuery query(db);
    if (!query.prepare(sql))
        fail(query.lastError());
    for (const QVariantList& column : columns)
        query.addBindValue(column);
    if (!query.execBatch())
        fail(query.lastError());
}

QVariant sqlValue(const QSqlDatabase& db, const QString& sql, const QVariantList& values) {
    QSqlQuery query = runSql(db, sql, values);
    return query.next() ? query.value(0) : QVariant();
}

Transaction::Transaction(const QSqlDatabase& db)
    : m_db(db) {
    requireConnection(m_db);
    if (!m_db.transaction())
        fail(m_db.lastError());
    m_open = true;
}

Transaction::~Transaction() {
    if (m_open)
        m_db.rollback();
}

void Transaction::commit() {
    if (!m_db.commit())
        fail(m_db.lastError());
    m_open = false;
}

bool Transaction::isPostgres() const {
    return m_db.driver()->dbmsType() == QSqlDriver::PostgreSQL;
}

} // namespace zq
