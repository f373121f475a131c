// How fast the integrity check runs on a firm-sized catalogue: 10,000 classes and 100,000
// templates against an empty store with a few stray files. The baseline is the least any check
// must do: read every row of both tables once and list the store folder once.
#include "Bench.h"
#include "BenchData.h"
#include "HostDatabase.h"
#include "catalogue/CatalogueCheck.h"
#include "catalogue/Sql.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>

namespace zq::bench {

namespace {

constexpr int kRuns = 3;
constexpr int kClasses = 10000;
constexpr int kTemplates = 100000;
constexpr int kStrayFiles = 10;

qint64 rowsRead(const QSqlDatabase& db, const QString& sql) {
    QSqlQuery query = runSql(db, sql);
    qint64 rows = 0;
    while (query.next())
        ++rows;
    return rows;
}

} // namespace

// False when the check does not account for every template and every stray file.
bool checkBench(const Engine& engine) {
    QSqlDatabase db = engine.db;
    corvane::clearCatalogue(db);
    generateCatalogue(db, kClasses, kTemplates);
    QTemporaryDir store;
    for (int i = 0; i < kStrayFiles; ++i) {
        QFile file(store.filePath(QStringLiteral("遗留%1.doc").arg(i)));
        file.open(QIODevice::WriteOnly);
    }

    StatementCounter counter(db);
    QList<CatalogueFinding> findings;
    const double checkMs = bestMs(kRuns, [&] {
        counter.reset();
        findings = checkCatalogue(db, store.path());
    });
    const QString checkStatements = counter.text();

    qint64 rows = 0;
    const double bareMs = bestMs(kRuns, [&] {
        counter.reset();
        rows = rowsRead(db, QStringLiteral("select DocID, DocCaption, DocFileName, DocSortID, "
                                           "DocTypeName from ZQ_DocTempDetail")) +
               rowsRead(db, QStringLiteral("select DocSortID, DocSortName from ZQ_DocInfoMaster")) +
               QDir(store.path()).entryList(QDir::Files).size();
    });

    qsizetype fileFindings = 0, strays = 0;
    for (const CatalogueFinding& finding : std::as_const(findings)) {
        if (finding.kind == CatalogueFinding::Kind::MissingFile ||
            finding.kind == CatalogueFinding::Kind::BadFileName)
            ++fileFindings;
        else if (finding.kind == CatalogueFinding::Kind::UnnamedFile)
            ++strays;
    }
    const bool accounted = fileFindings == kTemplates && strays == kStrayFiles &&
                           rows == kClasses + kTemplates + kStrayFiles;

    std::printf("Integrity check of %d classes and %d templates, empty store with %d stray files "
                "(best of %d; ratio = check / bare read of both tables and the store)\n",
                kClasses, kTemplates, kStrayFiles, kRuns);
    std::printf("%-10s %10s %10s %8s %12s %10s %10s  %s\n", "engine", "check ms", "bare ms",
                "ratio", "stmts check", "bare", "findings", "accounted");
    std::printf("%-10s %10.2f %10.2f %7.1fx %12s %10s %10lld  %s\n", engine.name, checkMs, bareMs,
                checkMs / bareMs, qPrintable(checkStatements), qPrintable(counter.text()),
                qlonglong(findings.size()), accounted ? "yes" : "NO");
    corvane::clearCatalogue(db);
    return accounted;
}

} // namespace zq::bench
