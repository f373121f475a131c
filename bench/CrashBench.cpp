// What an import killed at a random moment leaves behind: 30 runs of `zqcatalogue import` of a
// package of 2,000 templates, each killed with SIGKILL at a random time within the length of a
// whole import, on a fresh installation. Then the tool starts again (`check`), and the store
// files that no row names and the work folders left are counted. The goal is none.
#include "Archive.h"
#include "Bench.h"
#include "FakeHost.h"
#include "HostDatabase.h"
#include "catalogue/ClassCatalogue.h"
#include "catalogue/Sql.h"
#include "catalogue/TemplateDocuments.h"
#include "catalogue/TemplateFiles.h"
#include "catalogue/TemplateStore.h"
#include "exchange/PackageWriter.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>
#include <random>

namespace zq::bench {

namespace {

constexpr int kRuns = 30;
constexpr int kTemplates = 2000;
const QString kPrefix = QStringLiteral("bench-crash-");

QString storeOf(const QString& hostFolder) {
    return hostFolder + QStringLiteral("/APP/Config/XTGL/DocTemplate/");
}

// The store's files that no row of the catalogue names.
int unnamedFiles(const QSqlDatabase& db, const QString& store) {
    const QSet<QString> named =
        columnValues(db, QStringLiteral("select DocFileName from ZQ_DocTempDetail"));
    const QStringList files = QDir(store).entryList(QDir::Files | QDir::Hidden);
    return int(std::count_if(files.cbegin(), files.cend(),
                             [&](const QString& name) { return !named.contains(name); }));
}

// A package of the bench's templates, their stored files removed again.
void writeCrashPackage(const QSqlDatabase& db, const QString& package) {
    QDir().mkpath(templateStorePath());
    Transaction transaction(db);
    insertClass(db, QStringLiteral("0001"), QStringLiteral("崩溃"), QString());
    for (int i = 0; i < kTemplates; ++i) {
        const QString name = kPrefix + QString::number(i) + QStringLiteral(".doc");
        QFile file(storedFilePath(name));
        file.open(QIODevice::WriteOnly);
        file.write(QByteArray(8192, char('a' + i % 26)));
        insertTemplate(db, {.caption = name,
                            .fileName = name,
                            .typeName = QStringLiteral("WORD"),
                            .classCode = QStringLiteral("0001")});
    }
    transaction.commit();
    QList<SelectionNode> tree = fillSelectionTree(db);
    setChecked(tree[0], Qt::Checked);
    writePackage(db, tree[0], package);
    for (const QString& name : QDir(templateStorePath()).entryList({kPrefix + "*"}, QDir::Files))
        QFile::remove(storedFilePath(name));
}

void startTool(QProcess& process, const Engine& engine, const QString& hostFolder,
               QStringList arguments) {
    arguments << QStringLiteral("--database") << engine.location << QStringLiteral("--host-folder")
              << hostFolder;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(QStringLiteral(ZQ_CATALOGUE_TOOL), arguments);
    process.waitForStarted();
}

void freshCatalogue(QSqlDatabase& db) {
    corvane::clearCatalogue(db);
    runSql(db, QStringLiteral("delete from ZQ_DocTemplateFile"));
}

struct CrashCounts {
    int killed = 0;
    int unnamedBefore = 0;
    int unnamedAfter = 0;
    int foldersLeft = 0;
    int checksClean = 0;
};

// Imports killed at random moments within the length of a whole import, each followed by a
// start of the tool on the same installation.
CrashCounts killedImports(const Engine& engine, const QString& package, double wholeMs) {
    QSqlDatabase db = engine.db;
    std::mt19937 random(20261211);
    CrashCounts counts;
    for (int run = 0; run < kRuns; ++run) {
        freshCatalogue(db);
        const QTemporaryDir hostFolder;
        QProcess import;
        startTool(import, engine, hostFolder.path(), {QStringLiteral("import"), package});
        QThread::msleep(random() % quint32(wholeMs));
        if (import.state() == QProcess::Running) {
            import.kill();
            ++counts.killed;
        }
        import.waitForFinished(-1);
        const QString store = storeOf(hostFolder.path());
        counts.unnamedBefore += unnamedFiles(db, store);

        QProcess check;
        startTool(check, engine, hostFolder.path(), {QStringLiteral("check")});
        check.waitForFinished(-1);
        counts.checksClean += check.exitStatus() == QProcess::NormalExit && check.exitCode() == 0;
        counts.unnamedAfter += unnamedFiles(db, store);
        counts.foldersLeft +=
            QFileInfo::exists(hostFolder.path() +
                              QStringLiteral("/~App~Temp/XTGL/DocUnZipTemplate")) +
            QFileInfo::exists(store + QStringLiteral(".zq-staging"));
    }
    return counts;
}

} // namespace

bool crashBench(const Engine& engine) {
    QSqlDatabase db = engine.db;
    corvane::clearCatalogue(db);
    test::FakeHost host;
    host.compressWith = corvane::compressFolder;
    const test::FakeHostScope scope(host);
    const QTemporaryDir work;
    const QString package = work.filePath(QStringLiteral("crash.TempFile"));
    writeCrashPackage(db, package);

    // A whole import, for the length of time the kills fall in.
    freshCatalogue(db);
    double wholeMs = 0;
    {
        const QTemporaryDir hostFolder;
        QProcess process;
        QElapsedTimer timer;
        timer.start();
        startTool(process, engine, hostFolder.path(), {QStringLiteral("import"), package});
        process.waitForFinished(-1);
        wholeMs = double(timer.elapsed());
    }
    const CrashCounts counts = killedImports(engine, package, wholeMs);
    freshCatalogue(db);

    std::printf("Imports of %d templates killed at a random moment (%d runs; a whole import "
                "%.0f ms)\n",
                kTemplates, kRuns, wholeMs);
    std::printf("%-10s %8s %16s %16s %14s %12s\n", "engine", "killed", "unnamed at kill",
                "unnamed, start", "folders left", "check clean");
    std::printf("%-10s %8d %16d %16d %14d %9d/%d\n", engine.name, counts.killed,
                counts.unnamedBefore, counts.unnamedAfter, counts.foldersLeft, counts.checksClean,
                kRuns);
    return counts.unnamedAfter == 0 && counts.foldersLeft == 0;
}

} // namespace zq::bench
