// How fast a class moves with its subtree: 1,000 classes and 10,000 templates taken under
// another parent and numbered again there, in one transaction. The baseline is the bare update
// of the same rows: one statement per table giving every code of the subtree its new first part,
// with no renumbering and no checks.
#include "Bench.h"
#include "BenchData.h"
#include "HostDatabase.h"
#include "catalogue/ClassCatalogue.h"
#include "catalogue/ClassMoves.h"
#include "catalogue/Sql.h"

#include <cstdio>

namespace zq::bench {

namespace {

constexpr int kRuns = 3;
constexpr int kClasses = 1000; // in the moved subtree, its top class included
constexpr int kTemplates = 10000;

int rowsUnder(const QSqlDatabase& db, const char* table, const QString& code) {
    return sqlValue(db,
                    QStringLiteral("select count(*) from %1 where ").arg(QLatin1String(table)) +
                        subtreeCondition(),
                    {code.size(), code})
        .toInt();
}

} // namespace

// Moves the subtree to and fro: under class 0002 and back to the root. False when a move lost
// or left behind a row.
bool moveBench(const Engine& engine) {
    QSqlDatabase db = engine.db;
    corvane::clearCatalogue(db);
    generateSubtree(db, kClasses, kTemplates);

    StatementCounter counter(db);
    QString code = QStringLiteral("0001");
    bool whole = true;
    const double moveMs = bestMs(2 * kRuns, [&] {
        counter.reset();
        code = moveClassTo(db, code, code.size() == 4 ? QStringLiteral("0002") : QString()).toCode;
        whole = whole && rowsUnder(db, "ZQ_DocInfoMaster", code) == kClasses &&
                rowsUnder(db, "ZQ_DocTempDetail", code) == kTemplates;
    });
    const QString moveStatements = counter.text();

    const double bareMs = bestMs(2 * kRuns, [&] {
        counter.reset();
        const QString to = code.size() == 4 ? QStringLiteral("00020001") : QStringLiteral("0001");
        Transaction transaction(db);
        renameCodePrefix(db, code, to);
        transaction.commit();
        code = to;
    });
    whole = whole && rowsUnder(db, "ZQ_DocTempDetail", code) == kTemplates;

    std::printf("Moving a class with %d classes and %d templates under another parent "
                "(best of %d moves; ratio = move / bare update)\n",
                kClasses, kTemplates, 2 * kRuns);
    std::printf("%-10s %10s %10s %8s %12s %10s  %s\n", "engine", "move ms", "bare ms", "ratio",
                "stmts move", "bare", "rows kept");
    std::printf("%-10s %10.2f %10.2f %7.1fx %12s %10s  %s\n", engine.name, moveMs, bareMs,
                moveMs / bareMs, qPrintable(moveStatements), qPrintable(counter.text()),
                whole ? "yes" : "NO");
    corvane::clearCatalogue(db);
    return whole;
}

} // namespace zq::bench
