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

using Rows = QList<ClassContentRow>;

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
    struct Listed {
        ClassContentRow row;
        QString classCode; // empty for a class row
        QString typeName;
    };
    QList<Listed> listed;
    while (query.next()) {
        const bool isClass = query.value(0).toInt() == 0;
        // A row is a class row because it came from the class half, whatever its file name.
        const QString fileName = isClass ? QStringLiteral(" ") : query.value(5).toString();
        const int image = isClass ? kClassImage : kTemplateImage;
        listed.append(Listed{{query.value(2).toString(), query.value(3).toString(), QString(),
                              query.value(isClass ? 1 : 4).toString(), QString(), fileName, image},
                             isClass ? QString() : query.value(1).toString(),
                             query.value(6).toString()});
    }
    Rows rows;
    for (Listed& item : listed) {
        if (!item.classCode.isEmpty()) {
            item.row.className = classNameOfCode(db, item.classCode);
            item.row.typeCaption = typeCaptionOf(db, item.typeName);
        }
        rows.append(item.row);
    }
    return rows;
}

bool sameRows(const Rows& a, const Rows& b) {
    const auto fields = [](const ClassContentRow& r) {
        return std::tie(r.caption, r.memo, r.className, r.id, r.typeCaption, r.fileName, r.image);
    };
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [&](const auto& x, const auto& y) { return fields(x) == fields(y); });
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
        const bool same = fast.rows.size() == n + kSubClasses && sameRows(fast.rows, naive.rows);
        allSame = allSame && same;
        std::printf("%-10s %6d %6lld %10.2f %12.2f %7.1fx %10s %10s  %s\n", engine.name, n,
                    static_cast<long long>(fast.rows.size()), fast.bestMs, naive.bestMs,
                    naive.bestMs / fast.bestMs, qPrintable(fast.statements),
                    qPrintable(naive.statements), same ? "yes" : "NO");
    }
    corvane::clearCatalogue(db);
    return allSame;
}

} // namespace zq::bench
