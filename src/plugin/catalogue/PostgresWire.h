#pragma once

#include <QByteArray>
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QtEndian>

#include <libpq-fe.h>
#include <memory>

namespace zq {

// On PostgreSQL a file's bytes travel in libpq's binary format on the driver's own connection:
// Qt's driver sends a bytea as an escaped text literal and reads it back the same way, ten
// times slower on a 1 MB template. The driver's connection, or null on another engine.
PGconn* postgresConnection(const QSqlDatabase& db);

using PostgresResult = std::unique_ptr<PGresult, decltype(&PQclear)>;

// Runs the statement ('?' for each value) with the values as text, except the one at
// `binaryValue`, which goes as bytes; the results come in binary form.
PostgresResult runPostgres(PGconn* pg, const QString& sql, const QList<QByteArray>& values,
                           int binaryValue = -1);

// A bigint of the first row of a binary result.
qint64 binaryBigint(const PGresult* result, int column);

template <typename Integer> QByteArray bigEndian(Integer value) {
    QByteArray bytes(sizeof(Integer), Qt::Uninitialized);
    qToBigEndian(value, bytes.data());
    return bytes;
}

// A binary COPY into a table on libpq's connection, each row sent as it is added: many rows
// in a few round trips. Left without finish(), the copy is abandoned and the statement fails.
class PostgresCopy {
public:
    // `target`: the table and its columns, as the code names them.
    PostgresCopy(PGconn* pg, const QString& target);
    ~PostgresCopy();
    PostgresCopy(const PostgresCopy&) = delete;
    PostgresCopy& operator=(const PostgresCopy&) = delete;

    void row(const QList<QByteArray>& fields);
    void finish();

private:
    void put(const QByteArray& bytes);
    void abandon();
    void drain();

    PGconn* m_pg;
    bool m_open = false;
};

} // namespace zq
