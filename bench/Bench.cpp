#include "Bench.h"

#include "BenchData.h"
#include "HostDatabase.h"
#include "catalogue/SearchKeys.h"
#include "catalogue/Sql.h"
#include "widgets/TreeNodes.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QTreeWidget>

#include <QFile>
#include <QSqlDriver>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QVariant>

#include <cstdio>

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

double bareSelectMs(const QSqlDatabase& db, const QString& sql, const QVariantList& values) {
    return bestMs(5, [&] {
        QSqlQuery query = runSql(db, sql, values);
        const int columns = query.record().count();
        while (query.next())
            for (int column = 0; column < columns; ++column)
                query.value(column);
    });
}

Scale& catalogueScale() {
    static Scale scale;
    return scale;
}

void useLargeCatalogue(const Engine& engine) {
    const Scale& scale = catalogueScale();
    const auto count = [&](const char* table) {
        return sqlValue(engine.db,
                        QStringLiteral("select count(*) from %1").arg(QLatin1String(table)))
            .toInt();
    };
    if (count("ZQ_DocInfoMaster") == scale.classes + 11 &&
        count("ZQ_DocTempDetail") == scale.templates + kLargeClassTemplates + 10)
        return;
    QSqlDatabase db = engine.db;
    corvane::clearCatalogue(db);
    QElapsedTimer timer;
    timer.start();
    generateCatalogue(db, scale.classes, scale.templates);
    generateLargeClass(db, kLargeClassCode, kLargeClassTemplates);
    // The planner should know the tables' new size, as it would on a catalogue in use.
    runSql(db, QStringLiteral("analyze"));
    std::printf("(%s: generated %d classes and %d templates in %.1f s)\n", engine.name,
                scale.classes, scale.templates, double(timer.elapsed()) / 1000);
}

void printGoalHeader(const Engine& engine, const char* title) {
    const Scale& scale = catalogueScale();
    std::printf("%s on %s: %d classes, %d templates, and a class of %d (best of up to 3 runs)\n",
                title, engine.name, scale.classes, scale.templates, kLargeClassTemplates);
    std::printf("%-36s %9s %12s %8s %6s %4s %8s  %s\n", "work", "ms", "baseline ms", "ratio",
                "goal", "met", "peak MB", "fills agree");
}

void printGoalRow(const char* work, double ms, double baselineMs, double goal, bool agrees) {
    const double ratio = ms / baselineMs;
    const QString goalText = goal > 0 ? QStringLiteral("%1x").arg(goal) : QStringLiteral("-");
    std::printf("%-36s %9.1f %12.2f %7.1fx %6s %4s %8.0f  %s\n", work, ms, baselineMs, ratio,
                qPrintable(goalText),
                goal <= 0       ? ""
                : ratio <= goal ? "yes"
                                : "NO",
                peakResidentMb(), agrees ? "yes" : "NO");
    std::fflush(stdout);
}

void printMemoryRow(const char* work, double goalMb) {
    const double now = residentMb();
    std::printf("%-36s %9s %12s %8s %6s %4s %8.0f  (resident now %.0f MB, goal %.0f MB)\n", work,
                "", "", "", "", now <= goalMb ? "yes" : "NO", peakResidentMb(), now, goalMb);
    std::fflush(stdout);
}

void setSearchKeysAside(const QSqlDatabase& db, bool aside) {
    const QString kept = kSearchKeyTable;
    const QString away = kSearchKeyTable + QStringLiteral("Aside");
    runSql(db, QStringLiteral("alter table %1 rename to %2")
                   .arg(aside ? kept : away, aside ? away : kept));
}

void showPainted(QWidget* window) {
    window->show();
    QApplication::processEvents();
    window->repaint();
}

QByteArray treeDigest(const QTreeWidget* tree) {
    QCryptographicHash hash(QCryptographicHash::Sha1);
    for (const QTreeWidgetItem* item : treeItems(tree)) {
        int depth = 0;
        for (const QTreeWidgetItem* up = item->parent(); up; up = up->parent())
            ++depth;
        hash.addData(QByteArray::number(depth) + ' ' + item->text(0).toUtf8() + '\n' +
                     nodeRecord(item).join(QLatin1Char('|')).toUtf8() + '\n' +
                     QByteArray::number(item->checkState(0)) + '\n');
    }
    return hash.result();
}

} // namespace zq::bench
