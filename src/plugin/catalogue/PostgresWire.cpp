#include "catalogue/PostgresWire.h"

#include "util/Error.h"

#include <QSqlDriver>
#include <QVariant>

namespace zq {

namespace {

Error failure(PGconn* pg) {
    return Error(QStringLiteral("数据库操作失败。"),
                 QString::fromUtf8(PQerrorMessage(pg)).trimmed());
}

} // namespace

PGconn* postgresConnection(const QSqlDatabase& db) {
    const QVariant handle = db.driver()->handle();
    // The handle's type is named after the struct behind libpq's typedef.
    const bool libpq =
        qstrcmp(handle.typeName(), "pg_conn*") == 0 || qstrcmp(handle.typeName(), "PGconn*") == 0;
    return libpq ? *static_cast<PGconn* const*>(handle.constData()) : nullptr;
}

PostgresResult runPostgres(PGconn* pg, const QString& sql, const QList<QByteArray>& values,
                           int binaryValue) {
    QString numbered;
    int number = 0;
    for (const QChar c : sql)
        numbered += c == QLatin1Char('?') ? QStringLiteral("$%1").arg(++number) : QString(c);
    QList<const char*> data;
    QList<int> lengths;
    QList<int> formats;
    for (int i = 0; i < values.size(); ++i) {
        data.append(values[i].constData());
        lengths.append(int(values[i].size()));
        formats.append(i == binaryValue ? 1 : 0);
    }
    PostgresResult result(PQexecParams(pg, numbered.toUtf8().constData(), int(values.size()),
                                       nullptr, data.constData(), lengths.constData(),
                                       formats.constData(), 1),
                          &PQclear);
    const ExecStatusType status = PQresultStatus(result.get());
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK)
        throw failure(pg);
    return result;
}

qint64 binaryBigint(const PGresult* result, int column) {
    return qFromBigEndian<qint64>(PQgetvalue(result, 0, column));
}

PostgresCopy::PostgresCopy(PGconn* pg, const QString& target)
    : m_pg(pg) {
    const QByteArray sql =
        QStringLiteral("copy %1 from stdin (format binary)").arg(target).toUtf8();
    const PostgresResult started(PQexec(pg, sql.constData()), &PQclear);
    if (PQresultStatus(started.get()) != PGRES_COPY_IN)
        throw failure(m_pg);
    m_open = true;
    try {
        // The signature, no flags, no header extension.
        put(QByteArray("PGCOPY\n\377\r\n\0", 11) + bigEndian<qint32>(0) + bigEndian<qint32>(0));
    } catch (const Error&) {
        abandon();
        throw;
    }
}

PostgresCopy::~PostgresCopy() {
    abandon();
}

void PostgresCopy::row(const QList<QByteArray>& fields) {
    put(bigEndian<qint16>(qint16(fields.size())));
    for (const QByteArray& field : fields) {
        put(bigEndian<qint32>(qint32(field.size())));
        put(field);
    }
}

void PostgresCopy::finish() {
    put(bigEndian<qint16>(-1));
    m_open = false;
    const bool ended = PQputCopyEnd(m_pg, nullptr) == 1;
    const PostgresResult result(PQgetResult(m_pg), &PQclear);
    const bool done = ended && PQresultStatus(result.get()) == PGRES_COMMAND_OK;
    const Error error = failure(m_pg);
    drain();
    if (!done)
        throw error;
}

void PostgresCopy::put(const QByteArray& bytes) {
    if (PQputCopyData(m_pg, bytes.constData(), int(bytes.size())) != 1)
        throw failure(m_pg);
}

void PostgresCopy::abandon() {
    if (!m_open)
        return;
    m_open = false;
    PQputCopyEnd(m_pg, "abandoned");
    drain();
}

// Reads what the server still answers, so that the connection takes statements again.
void PostgresCopy::drain() {
    while (PGresult* result = PQgetResult(m_pg))
        PQclear(result);
}

} // namespace zq
