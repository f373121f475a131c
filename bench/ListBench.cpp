// How fast the manager list's read runs for a large class. The catalogue's read takes two
// statements whatever the number of rows; the baseline is the naive read that lists the rows in
// one statement and then looks up each template's class name and type caption on its own.
#include "Bench.h"
#include "BenchData.h"
#include "HostDatabase.h"
#include "catalogue/ClassCatalogue.h"
#include "catalogue/Sql.h"
#include "catalogue/TemplateDocuments.h"

#include <cstdio>
#include <tuple>

namespace zq::bench {

namespace {

using Rows = ClassContents;

constexpr int kRuns = 3;
constexpr int kSubClasses = 10; // made by generateLargeClass

Rows naiveClassContents(const QSqlDatabase& db, const QString& code) {
    QSqlQuery query = runSql(
        db,
        QStringLiteral("select 0, DocSortID, DocSortName, DocSortMemo, 0, '', '' "
                       "from ZQ_DocInfoMaster where ") +
            subtreeCondition() +
            QStringLiteral(" and length(DocSortID) = ? "
                           "union all select 1, DocSortID, DocCaption, DocMemo, DocID, "
                           "DocFileName, DocTypeName from ZQ_DocTempDetail where DocSortID = ? "
                           "order by 1, 5, 2"),
        {code.size(), code, childCodeLength(code), code});
    // The listing is read to its end before the per-row statements run on the same connection.
    Rows rows;
    while (query.next()) {
        const auto text = [&query](int column) { return query.value(column).toString(); };
        if (query.value(0).toInt() == 0)
            rows.classes.append({text(1), text(2), text(3)});
        else
            rows.templates.append(ListedTemplate{
                {query.value(4).toLongLong(), text(2), text(5), text(3), text(6), {}, text(1)},
                {},
                {}});
    }
    for (ListedTemplate& listed : rows.templates) {
        listed.className = classNameOfCode(db, listed.record.classCode);
        listed.typeCaption = typeCaptionOf(db, listed.record.typeName);
    }
    return rows;
}

qsizetype rowCount(const Rows& rows) {
    return rows.classes.size() + rows.templates.size();
}

// The same rows as the list shows them.
bool sameRows(const Rows& a, const Rows& b) {
    const auto shown = [](const ListedTemplate& t) {
        return std::tie(t.record.docId, t.record.caption, t.record.memo, t.record.fileName,
                        t.className, t.typeCaption);
    };
    const auto sameClass = [](const ClassRecord& x, const ClassRecord& y) {
        return x.toList() == y.toList();
    };
    return std::equal(a.classes.begin(), a.classes.end(), b.classes.begin(), b.classes.end(),
                      sameClass) &&
           std::equal(a.templates.begin(), a.templates.end(), b.templates.begin(),
                      b.templates.end(),
                      [&](const auto& x, const auto& y) { return shown(x) == shown(y); });
}

struct Measured {
    double bestMs = 0;
    QString statements; // of one run
    Rows rows;
};

Measured measure(const QSqlDatabase& db, StatementCounter& counter,
                 Rows (*read)(const QSqlDatabase&, const QString&), const QString& code) {
    Measured result;
    result.bestMs = bestMs(kRuns, [&] {
        counter.reset();
        result.rows = read(db, code);
    });
    result.statements = counter.text();
    return result;
}

} // namespace

// Fills one class per size and compares both reads; false when they differ.
bool listReadBench(const Engine& engine) {
    QSqlDatabase db = engine.db;
    corvane::clearCatalogue(db);
    StatementCounter counter(db);
    std::printf("Manager list read of one class (best of %d runs; ratio = baseline / fast)\n",
                kRuns);
    std::printf("%-10s %6s %6s %10s %12s %8s %10s %10s  %s\n", "engine", "N", "rows", "fast ms",
                "baseline ms", "ratio", "stmts fast", "baseline", "rows equal");
    bool allSame = true;
    int classNumber = 0;
    for (const int n : {100, 1000, 5000}) {
        const QString code = QStringLiteral("9%1").arg(++classNumber, 3, 10, QLatin1Char('0'));
        generateLargeClass(db, code, n);
        const Measured fast = measure(db, counter, readClassContents, code);
        const Measured naive = measure(db, counter, naiveClassContents, code);
        const bool same = rowCount(fast.rows) == n + kSubClasses && sameRows(fast.rows, naive.rows);
        allSame = allSame && same;
        std::printf("%-10s %6d %6lld %10.2f %12.2f %7.1fx %10s %10s  %s\n", engine.name, n,
                    static_cast<long long>(rowCount(fast.rows)), fast.bestMs, naive.bestMs,
                    naive.bestMs / fast.bestMs, qPrintable(fast.statements),
                    qPrintable(naive.statements), same ? "yes" : "NO");
    }
    corvane::clearCatalogue(db);
    return allSame;
}

} // namespace zq::bench
