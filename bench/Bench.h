#pragma once

#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QString>

#include <algorithm>
#include <limits>

struct sqlite3;

namespace zq::bench {

// The database a case runs on: "sqlite" or "postgresql".
struct Engine {
    const char* name;
    QSqlDatabase db;
};

// The best time of `runs` runs of the work, in milliseconds.
template <typename Work> double bestMs(int runs, Work&& work) {
    double best = std::numeric_limits<double>::max();
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        work();
        best = std::min(best, double(timer.nsecsElapsed()) / 1e6);
    }
    return best;
}

// Resident memory of this process from /proc/self/status, in MB: now and the peak since the
// last resetPeakMemory().
double residentMb();
double peakResidentMb();
void resetPeakMemory();

// Counts the statements SQLite starts on the connection; other engines are not counted.
class StatementCounter {
public:
    explicit StatementCounter(const QSqlDatabase& db);
    ~StatementCounter();
    StatementCounter(const StatementCounter&) = delete;
    StatementCounter& operator=(const StatementCounter&) = delete;

    void reset() { m_count = 0; }
    QString text() const { return m_db ? QString::number(m_count) : QStringLiteral("-"); }

private:
    sqlite3* m_db = nullptr;
    qint64 m_count = 0;
};

} // namespace zq::bench
