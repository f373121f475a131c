// What the history and the recycle bin cost. The history's share of an operation: the time of
// its history statements alone (run in a transaction rolled back) against the whole operation
// with them. The bin: deleting a class with 1,000 classes and 10,000 templates into the bin and
// restoring it, each against the move case's baseline, the bare update of the same rows.
#include "Bench.h"
#include "BenchData.h"
#include "HostDatabase.h"
#include "catalogue/CatalogueHistory.h"
#include "catalogue/ClassCatalogue.h"
#include "catalogue/ClassMoves.h"
#include "catalogue/RecycleBin.h"
#include "catalogue/Sql.h"

#include <cstdio>

namespace zq::bench {

namespace {

constexpr int kRuns = 3;
constexpr int kClasses = 1000;
constexpr int kTemplates = 10000;

int rowsUnder(const QSqlDatabase& db, const QString& code) {
    return sqlValue(db,
                    QStringLiteral("select count(*) from ZQ_DocTempDetail where ") +
                        subtreeCondition(),
                    {code.size(), code})
        .toInt();
}

// The history statements alone, in a transaction rolled back.
template <typename Record> double recordMs(const QSqlDatabase& db, Record&& record) {
    return bestMs(kRuns, [&] {
        Transaction transaction(db);
        record();
    });
}

void printShare(const char* work, double opMs, double historyMs) {
    std::printf("%-34s %10.3f %10.3f %8.1f%%\n", work, opMs, historyMs, 100 * historyMs / opMs);
}

} // namespace

bool historyBench(const Engine& engine) {
    QSqlDatabase db = engine.db;
    corvane::clearCatalogue(db);
    generateSubtree(db, kClasses, kTemplates);
    ensureRecycleBinTables(db);

    std::printf("History's share of an operation (best of %d)\n", kRuns);
    std::printf("%-34s %10s %10s %9s\n", "operation", "op ms", "history ms", "share");
    int renames = 0;
    printShare("rename a class",
               bestMs(kRuns, [&] { updateClass(db, "0002", QString::number(++renames), ""); }),
               recordMs(db, [&] { recordClassTexts(db, "0002", "x", "y"); }));
    int added = 0;
    printShare("add a class",
               bestMs(kRuns, [&] { addChildClass(db, "0002", QString::number(++added), "", ""); }),
               recordMs(db, [&] { recordClass(db, HistoryAction::Added, "0002"); }));
    QString code = QStringLiteral("0001");
    printShare(
        "move a 1k-class subtree",
        bestMs(kRuns, [&] { code = moveClassTo(db, code, code.size() == 4 ? "0002" : "").toCode; }),
        recordMs(db, [&] { recordClass(db, HistoryAction::Moved, code, "a", "b"); }));

    bool whole = true;
    const double deleteMs = bestMs(1, [&] { whole = deleteClassTree(db, code); });
    const qint64 item = newestBinItemOf(db, code, 0).value_or(0);
    const double restoreMs = bestMs(1, [&] { restoreFromBin(db, item); });
    whole = whole && rowsUnder(db, code) == kTemplates;
    const double bareMs = bestMs(2 * kRuns, [&] {
        const QString to = code == "0009" ? QStringLiteral("0008") : QStringLiteral("0009");
        Transaction transaction(db);
        renameCodePrefix(db, code, to);
        transaction.commit();
        code = to;
    });
    std::printf("\nA class tree of %d classes and %d templates into the bin and back "
                "(ratio = ours / bare update of the rows)\n",
                kClasses, kTemplates);
    std::printf("%-10s %12s %12s %10s %8s %8s  %s\n", "engine", "delete ms", "restore ms",
                "bare ms", "delete", "restore", "rows kept");
    std::printf("%-10s %12.1f %12.1f %10.1f %7.1fx %7.1fx  %s\n", engine.name, deleteMs, restoreMs,
                bareMs, deleteMs / bareMs, restoreMs / bareMs, whole ? "yes" : "NO");
    emptyBin(db);
    corvane::clearCatalogue(db);
    return whole;
}

} // namespace zq::bench
