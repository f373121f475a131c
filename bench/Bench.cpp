#include "Bench.h"

#include <QFile>
#include <QSqlDriver>
#include <QVariant>

#include <sqlite3.h>

namespace zq::bench {

namespace {

double statusMb(const QByteArray& field) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(field + ':'))
            return line.mid(field.size() + 1).trimmed().split(' ').value(0).toDouble() / 1024;
    return 0;
}

int countStatement(unsigned, void* counter, void*, void*) {
    ++*static_cast<qint64*>(counter);
    return 0;
}

} // namespace

double residentMb() {
    return statusMb("VmRSS");
}

double peakResidentMb() {
    return statusMb("VmHWM");
}

void resetPeakMemory() {
    // Writing 5 to clear_refs sets the peak back to what is resident now.
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

StatementCounter::StatementCounter(const QSqlDatabase& db) {
    const QVariant handle = db.driver()->handle();
    if (qstrcmp(handle.typeName(), "sqlite3*") == 0)
        m_db = *static_cast<sqlite3* const*>(handle.constData());
    if (m_db)
        sqlite3_trace_v2(m_db, SQLITE_TRACE_STMT, &countStatement, &m_count);
}

StatementCounter::~StatementCounter() {
    if (m_db)
        sqlite3_trace_v2(m_db, 0, nullptr, nullptr);
}

} // namespace zq::bench
