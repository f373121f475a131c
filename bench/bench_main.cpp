// zqbench: how fast the manager list fills for a large class. The catalogue's read takes two
// statements whatever the number of rows; the baseline is the naive fill that lists the rows in
// one statement and then looks up each template's class name and type caption on its own.
//
//   zqbench [postgresql://user@host:port/database]   (or ZQ_BENCH_DATABASE=URL)
//
// Always runs on a SQLite file in a temporary folder; with a URL also on that PostgreSQL
// database, whose catalogue tables it empties.
#include "BenchData.h"
#include "HostDatabase.h"
#include "catalogue/ClassCatalogue.h"
#include "catalogue/Sql.h"
#include "catalogue/TemplateDocuments.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSqlDriver>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <limits>
#include <tuple>

namespace {

using Rows = QList<zq::ClassContentRow>;
using Reader = Rows (*)(const QSqlDatabase&, const QString&);

constexpr int kRuns = 3;
constexpr int kSubClasses = 10; // made by GenerateLargeClass

Rows naiveClassContents(const QSqlDatabase& db, const QString& code) {
    QSqlQuery query = zq::runSql(
        db,
        QStringLiteral("select 0, DocSortID, DocSortName, DocSortMemo, 0, '', '' "
                       "from ZQ_DocInfoMaster where substr(DocSortID, 1, ?) = ? "
                       "and length(DocSortID) = ? "
                       "union all select 1, DocSortID, DocCaption, DocMemo, DocID, DocFileName, "
                       "DocTypeName from ZQ_DocTempDetail where DocSortID = ? order by 1, 5, 2"),
        {code.size(), code, code.size() + 4, code});
    // The listing is read to its end before the per-row statements run on the same connection.
    struct Listed {
        zq::ClassContentRow row;
        QString classCode; // empty for a class row
        QString typeName;
    };
    QList<Listed> listed;
    while (query.next()) {
        const bool isClass = query.value(0).toInt() == 0;
        const QString fileName = isClass ? QStringLiteral(" ") : query.value(5).toString();
        const int image = fileName.trimmed().isEmpty() ? zq::kClassImage : zq::kTemplateImage;
        listed.append(Listed{{query.value(2).toString(), query.value(3).toString(), QString(),
                              query.value(isClass ? 1 : 4).toString(), QString(), fileName, image},
                             isClass ? QString() : query.value(1).toString(),
                             query.value(6).toString()});
    }
    Rows rows;
    for (Listed& item : listed) {
        if (!item.classCode.isEmpty()) {
            item.row.className = zq::classNameOfCode(db, item.classCode);
            item.row.typeCaption = zq::typeCaptionOf(db, item.typeName);
        }
        rows.append(item.row);
    }
    return rows;
}

bool sameRows(const Rows& a, const Rows& b) {
    const auto fields = [](const zq::ClassContentRow& r) {
        return std::tie(r.caption, r.memo, r.className, r.id, r.typeCaption, r.fileName, r.image);
    };
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [&](const auto& x, const auto& y) { return fields(x) == fields(y); });
}

// Counts the statements SQLite starts on the connection; other engines are not counted.
class StatementCounter {
public:
    explicit StatementCounter(const QSqlDatabase& db) {
        const QVariant handle = db.driver()->handle();
        if (qstrcmp(handle.typeName(), "sqlite3*") == 0)
            m_db = *static_cast<sqlite3* const*>(handle.constData());
        if (m_db)
            sqlite3_trace_v2(m_db, SQLITE_TRACE_STMT, &count, &m_count);
    }
    ~StatementCounter() {
        if (m_db)
            sqlite3_trace_v2(m_db, 0, nullptr, nullptr);
    }
    StatementCounter(const StatementCounter&) = delete;
    StatementCounter& operator=(const StatementCounter&) = delete;

    void reset() { m_count = 0; }
    QString text() const { return m_db ? QString::number(m_count) : QStringLiteral("-"); }

private:
    static int count(unsigned, void* counter, void*, void*) {
        ++*static_cast<qint64*>(counter);
        return 0;
    }
    sqlite3* m_db = nullptr;
    qint64 m_count = 0;
};

struct Measured {
    double bestMs = std::numeric_limits<double>::max();
    QString statements; // of one run
    Rows rows;
};

Measured measure(const QSqlDatabase& db, StatementCounter& counter, Reader read,
                 const QString& code) {
    Measured result;
    for (int run = 0; run < kRuns; ++run) {
        counter.reset();
        QElapsedTimer timer;
        timer.start();
        result.rows = read(db, code);
        result.bestMs = std::min(result.bestMs, double(timer.nsecsElapsed()) / 1e6);
    }
    result.statements = counter.text();
    return result;
}

// Fills one class per size and compares both reads; false when they differ.
bool runEngine(const char* engine, QSqlDatabase db) {
    corvane::createHostSchema(db);
    corvane::clearCatalogue(db);
    StatementCounter counter(db);
    std::printf("%-10s %6s %6s %10s %12s %8s %10s %10s  %s\n", "engine", "N", "rows", "fast ms",
                "baseline ms", "ratio", "stmts fast", "baseline", "rows equal");
    bool allSame = true;
    int classNumber = 0;
    for (const int n : {100, 1000, 5000}) {
        const QString code = QStringLiteral("9%1").arg(++classNumber, 3, 10, QLatin1Char('0'));
        zq::bench::GenerateLargeClass(db, code, n);
        const Measured fast = measure(db, counter, zq::readClassContents, code);
        const Measured naive = measure(db, counter, naiveClassContents, code);
        const bool same = fast.rows.size() == n + kSubClasses && sameRows(fast.rows, naive.rows);
        allSame = allSame && same;
        std::printf("%-10s %6d %6lld %10.2f %12.2f %7.1fx %10s %10s  %s\n", engine, n,
                    static_cast<long long>(fast.rows.size()), fast.bestMs, naive.bestMs,
                    naive.bestMs / fast.bestMs, qPrintable(fast.statements),
                    qPrintable(naive.statements), same ? "yes" : "NO");
    }
    corvane::clearCatalogue(db);
    return allSame;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QString postgresUrl =
        argc > 1 ? QString::fromLocal8Bit(argv[1]) : qEnvironmentVariable("ZQ_BENCH_DATABASE");
    try {
        const QTemporaryDir folder;
        if (!folder.isValid())
            throw std::runtime_error("cannot make a temporary folder");
        std::printf("Manager list of one class (best of %d runs; ratio = baseline / fast)\n",
                    kRuns);
        bool same = runEngine("sqlite", corvane::openHostDatabase(
                                            QStringLiteral("bench-sqlite"),
                                            folder.filePath(QStringLiteral("catalogue.sqlite"))));
        if (!postgresUrl.isEmpty())
            same =
                runEngine("postgresql", corvane::openHostDatabase(QStringLiteral("bench-postgres"),
                                                                  QString(), postgresUrl)) &&
                same;
        if (!same)
            std::fprintf(stderr, "zqbench: the two reads gave different rows\n");
        return same ? 0 : 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "zqbench: %s\n", e.what());
        return 1;
    }
}
