// How fast the integrity check runs on a firm-plain catalogue: 10,000 classes and 100,000
// templates against an empty store with a few stray files. The baseline is the least any check
// must do: read every row of both tables once and list the store folder once. Then what the
// bytes the catalogue keeps cost it, alone in the catalogue: 500 files of 1 MB, left alone by
// the check and read by --deep.
#include "Bench.h"
#include "BenchData.h"
#include "HostDatabase.h"
#include "catalogue/CatalogueCheck.h"
#include "catalogue/Sql.h"
#include "catalogue/TemplateFiles.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <cstdio>
#include <unistd.h>

namespace zq::bench {

namespace {

constexpr int kRuns = 3;
constexpr int kClasses = 10000;
constexpr int kTemplates = 100000;
constexpr int kStrayFiles = 10;
constexpr int kKeptFiles = 500;
constexpr int kKeptSize = 1 << 20;

qint64 rowsRead(const QSqlDatabase& db, const QString& sql) {
    QSqlQuery query = runSql(db, sql);
    qint64 rows = 0;
    while (query.next())
        ++rows;
    return rows;
}

qsizetype damagedFindings(const QList<CatalogueFinding>& findings) {
    return std::count_if(findings.cbegin(), findings.cend(), [](const CatalogueFinding& f) {
        return f.kind == CatalogueFinding::Kind::DamagedFile;
    });
}

// The check with kept bytes: one file of the same random megabyte under every name (hard
// links, so the folder costs one file's space), one of them then changed in place; only
// --deep reads the bytes and finds it. False when a check finds other than that.
bool keptBytesBench(const Engine& engine, const QString& store) {
    QSqlDatabase db = engine.db;
    QByteArray bytes(kKeptSize, Qt::Uninitialized);
    QRandomGenerator(7).fillRange(reinterpret_cast<quint32*>(bytes.data()), kKeptSize / 4);
    const QString first = store + QStringLiteral("/kept0.doc");
    QFile file(first);
    file.open(QIODevice::WriteOnly);
    file.write(bytes);
    file.close();
    {
        Transaction transaction(db);
        for (int i = 0; i < kKeptFiles; ++i) {
            const QString name = QStringLiteral("kept%1.doc").arg(i);
            if (i > 0)
                ::link(QFile::encodeName(first).constData(),
                       QFile::encodeName(store + QLatin1Char('/') + name).constData());
            insertTemplateFile(db, store, name);
        }
        transaction.commit();
    }
    for (int i = 0; i < kKeptFiles; ++i)
        QFile::remove(store + QStringLiteral("/kept%1.doc").arg(i));
    bytes[0] = char(~bytes[0]);
    runSql(db,
           QStringLiteral("update ZQ_DocTemplateFile set FileContent = ? where DocFileName = ?"),
           {bytes, QStringLiteral("kept1.doc")});

    QList<CatalogueFinding> plain;
    QList<CatalogueFinding> hashed;
    const double plainMs = bestMs(kRuns, [&] { plain = checkCatalogue(db, store); });
    const double hashMs = bestMs(kRuns, [&] { hashed = checkCatalogue(db, store, true); });
    const double gigabytes = double(kKeptFiles) * kKeptSize / (1 << 30);
    std::printf("%-10s %d kept files of %d KB, no other row: check %.2f ms, check --deep %.2f "
                "ms (%.2f s per GB kept)\n",
                engine.name, kKeptFiles, kKeptSize / 1024, plainMs, hashMs,
                hashMs / 1000 / gigabytes);
    runSql(db, QStringLiteral("delete from ZQ_DocTemplateFile"));
    return damagedFindings(plain) == 0 && damagedFindings(hashed) == 1;
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
    return keptBytesBench(engine, store.path()) && accounted;
}

} // namespace zq::bench
