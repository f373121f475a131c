#pragma once

#include "BenchData.h"

#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QString>
#include <QVariantList>

#include <algorithm>
#include <limits>

class QTreeWidget;
class QWidget;

namespace zq::bench {

// The database a case runs on: "sqlite" or "postgresql", and where it is (a SQLite file or a
// server URL), for the programs a case starts.
struct Engine {
    const char* name;
    QSqlDatabase db;
    QString location;
};

// The best time of `runs` runs of the work, in milliseconds; `prepare` runs untimed before
// each. A run slower than ten seconds is the only one.
template <typename Prepare, typename Work> double bestMs(int runs, Prepare&& prepare, Work&& work) {
    double best = std::numeric_limits<double>::max();
    for (int run = 0; run < runs; ++run) {
        prepare();
        QElapsedTimer timer;
        timer.start();
        work();
        best = std::min(best, double(timer.nsecsElapsed()) / 1e6);
        if (best > 10'000)
            break;
    }
    return best;
}
template <typename Work> double bestMs(int runs, Work&& work) {
    return bestMs(
        runs, [] {}, work);
}

// The baseline of a fill: the best of five runs of the bare statement through QSqlQuery,
// reading every value of every row.
double bareSelectMs(const QSqlDatabase& db, const QString& sql, const QVariantList& values = {});

// The size of the firm-sized catalogue the window cases share (--scale CLASSES:TEMPLATES).
struct Scale {
    int classes = 10'000;
    int templates = 100'000;
};
Scale& catalogueScale();

// The class the list cases open, filed beside the generated classes, and its size.
inline const QString kLargeClassCode = QStringLiteral("9901");
constexpr int kLargeClassTemplates = 5'000;

// Makes the engine's catalogue the firm-sized one with the large class, unless it already is.
void useLargeCatalogue(const Engine& engine);

// One row of a goal table: our time, the baseline, the ratio, the goal (as the largest ratio
// allowed, 0 for none), the peak resident memory since the last resetPeakMemory(), and
// whether the case's two fills agreed.
void printGoalHeader(const Engine& engine, const char* title);
void printGoalRow(const char* work, double ms, double baselineMs, double goal, bool agrees);
// A row of resident memory now, in MB, against the largest allowed.
void printMemoryRow(const char* work, double goalMb);

// The search keys' table out of the way and back: the plug-in writes no keys while it is away,
// for the cost of a write without them.
void setSearchKeysAside(const QSqlDatabase& db, bool aside);

// Shows the window and lets it lay out and paint everything pending.
void showPainted(QWidget* window);
// A digest of a tree's items in tree order: depth, text, record and check state of each.
QByteArray treeDigest(const QTreeWidget* tree);

// Resident memory of this process from /proc/self/status, in MB: now and the peak since the
// last resetPeakMemory().
double residentMb();
double peakResidentMb();
void resetPeakMemory();

} // namespace zq::bench
