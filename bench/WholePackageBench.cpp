// A whole catalogue travelling as one package: as many small templates as the scale's template
// count (100,000 by default) in 1,000 classes, exported by `zqcatalogue export` and imported by
// `zqcatalogue import` into an empty catalogue and store, against `bsdtar -a -cf` and
// `bsdtar -xf` of the same files on the same file system. Each program's peak resident memory
// is its own (wait4). On SQLite, the disk the import took: the store's bytes and what the
// catalogue file grew, against the templates' bytes.
#include "Bench.h"
#include "HostDatabase.h"
#include "catalogue/ClassCatalogue.h"
#include "catalogue/Sql.h"
#include "catalogue/TemplateFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cstdio>
#include <fcntl.h>
#include <random>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace zq::bench {

namespace {

constexpr int kClasses = 1000;

QString storeOf(const QString& hostFolder) {
    return hostFolder + QStringLiteral("/APP/Config/XTGL/DocTemplate/");
}

struct Measured {
    double ms = 0;
    double peakMb = 0;
    bool ok = false;
};

// Runs the program to its end, its output discarded, and gives its time and peak memory.
Measured runMeasured(const QString& program, const QStringList& arguments) {
    QList<QByteArray> args{QFile::encodeName(program)};
    for (const QString& a : arguments)
        args.append(a.toUtf8());
    std::vector<char*> argv;
    for (QByteArray& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    Measured measured;
    QElapsedTimer timer;
    timer.start();
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return measured;
    int status = 0;
    rusage usage{};
    if (::wait4(pid, &status, 0, &usage) != pid)
        return measured;
    measured.ms = double(timer.nsecsElapsed()) / 1e6;
    measured.peakMb = double(usage.ru_maxrss) / 1024;
    measured.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return measured;
}

// A few KB of text-like bytes, as a small document's.
QByteArray content(std::mt19937& random) {
    static const char* const words[] = {"审计", "底稿", "资产", "负债", "收入", "成本",
                                        "the ", "of ",  "2026", "年度", "凭证", "科目"};
    const int size = 2048 + int(random() % 6144);
    QByteArray bytes;
    bytes.reserve(size + 8);
    while (bytes.size() < size)
        bytes.append(words[random() % 12]);
    return bytes;
}

qint64 folderBytes(const QString& folder) {
    qint64 total = 0;
    const QFileInfoList files = QDir(folder).entryInfoList(QDir::Files);
    for (const QFileInfo& file : files)
        total += file.size();
    return total;
}

void emptyCatalogue(const Engine& engine) {
    QSqlDatabase db = engine.db;
    corvane::clearCatalogue(db);
    runSql(engine.db, QStringLiteral("delete from ZQ_DocTemplateFile"));
    runSql(engine.db, QStringLiteral("delete from ZQ_DocTemplateSetting"));
    if (!isPostgres(engine.db))
        runSql(engine.db, QStringLiteral("vacuum"));
}

// Fills the empty catalogue with `templates` small templates in kClasses classes, their files
// in the store, and lists the files' names one a line for bsdtar.
void writeSourceCatalogue(QSqlDatabase& db, const QString& store, QFile& list, int templates) {
    std::mt19937 random(20261211);
    QList<TemplateRecord> rows;
    Transaction transaction(db);
    for (int c = 0; c < kClasses; ++c)
        insertClass(db, QStringLiteral("%1").arg(c + 1, 4, 10, QLatin1Char('0')),
                    QStringLiteral("分类%1").arg(c + 1), QString());
    for (int i = 0; i < templates; ++i) {
        const QString name = QStringLiteral("模板%1.doc").arg(i);
        QFile file(store + name);
        file.open(QIODevice::WriteOnly);
        file.write(content(random));
        rows.append(
            {.caption = QStringLiteral("模板%1").arg(i),
             .fileName = name,
             .typeName = QStringLiteral("WORD"),
             .classCode = QStringLiteral("%1").arg(i % kClasses + 1, 4, 10, QLatin1Char('0'))});
        list.write(name.toUtf8() + '\n');
    }
    insertTemplatesWithFiles(db, rows, store, true);
    transaction.commit();
}

// What a run measured: each program's time and memory, and what the import left.
struct WholeRun {
    Measured exported;
    Measured zipped;
    Measured imported;
    Measured extracted;
    int templates = 0;
    int rowsImported = 0;
    qint64 templateBytes = 0;
    qint64 storeBytes = 0;
    qint64 catalogueGrew = 0;
    qint64 packageBytes = 0;

    bool whole() const {
        return exported.ok && imported.ok && zipped.ok && extracted.ok &&
               rowsImported == templates && storeBytes == templateBytes;
    }
};

void printWholeRun(const Engine& engine, const WholeRun& run) {
    const bool embedded = !isPostgres(engine.db);
    std::printf("Whole-catalogue package of %d templates (%.0f MB) in %d classes, one run each "
                "(ratio = ours / bsdtar)\n",
                run.templates, double(run.templateBytes) / (1 << 20), kClasses);
    std::printf("%-10s %-8s %10s %10s %8s %9s %9s\n", "engine", "work", "ours ms", "bsdtar ms",
                "ratio", "peak MB", "goal MB");
    std::printf("%-10s %-8s %10.0f %10.0f %7.2fx %9.0f %9d\n", engine.name, "export",
                run.exported.ms, run.zipped.ms, run.exported.ms / run.zipped.ms,
                run.exported.peakMb, 250);
    std::printf("%-10s %-8s %10.0f %10.0f %7.2fx %9.0f %9d  goal %.1fx\n", engine.name, "import",
                run.imported.ms, run.extracted.ms, run.imported.ms / run.extracted.ms,
                run.imported.peakMb, 250, embedded ? 1.5 : 4.0);
    if (embedded)
        std::printf("%-10s disk after import: %.3fx the templates' bytes (store %.0f MB, "
                    "catalogue +%.1f MB; goal 1.1x)\n",
                    engine.name,
                    double(run.storeBytes + run.catalogueGrew) / double(run.templateBytes),
                    double(run.storeBytes) / (1 << 20), double(run.catalogueGrew) / (1 << 20));
    std::printf("%-10s all there: %s (%d rows, package %.0f MB)\n", engine.name,
                run.whole() ? "yes" : "NO", run.rowsImported, double(run.packageBytes) / (1 << 20));
}

} // namespace

bool wholePackageBench(const Engine& engine) {
    if (QStandardPaths::findExecutable(QStringLiteral("bsdtar")).isEmpty()) {
        std::printf("Whole-catalogue package: bsdtar not found, case skipped\n");
        return true;
    }
    WholeRun run;
    run.templates = catalogueScale().templates;
    QSqlDatabase db = engine.db;
    ensureTemplateFileTable(db);
    emptyCatalogue(engine);
    const QTemporaryDir work;
    const QString source = work.filePath(QStringLiteral("source"));
    const QString target = work.filePath(QStringLiteral("target"));
    const QString sourceStore = storeOf(source);
    QDir().mkpath(sourceStore);
    QFile list(work.filePath(QStringLiteral("files.txt")));
    list.open(QIODevice::WriteOnly);
    writeSourceCatalogue(db, sourceStore, list, run.templates);
    list.close();
    run.templateBytes = folderBytes(sourceStore);
    const QString tool = QStringLiteral(ZQ_CATALOGUE_TOOL);
    const QStringList onEngine{QStringLiteral("--database"), engine.location};

    const QString package = work.filePath(QStringLiteral("whole.TempFile"));
    const QString zip = work.filePath(QStringLiteral("baseline.zip"));
    ::sync();
    run.exported = runMeasured(tool, QStringList{QStringLiteral("export"), package} + onEngine +
                                         QStringList{QStringLiteral("--host-folder"), source});
    ::sync();
    run.zipped = runMeasured(QStringLiteral("bsdtar"), {QStringLiteral("-a"), QStringLiteral("-cf"),
                                                        zip, QStringLiteral("-C"), sourceStore,
                                                        QStringLiteral("-T"), list.fileName()});

    emptyCatalogue(engine);
    const qint64 catalogueBefore = isPostgres(db) ? 0 : QFileInfo(engine.location).size();
    QDir().mkpath(target);
    ::sync();
    run.imported = runMeasured(tool, QStringList{QStringLiteral("import"), package} + onEngine +
                                         QStringList{QStringLiteral("--host-folder"), target});
    run.rowsImported =
        sqlValue(db, QStringLiteral("select count(*) from ZQ_DocTempDetail")).toInt();
    run.storeBytes = folderBytes(storeOf(target));
    run.catalogueGrew = isPostgres(db) ? 0 : QFileInfo(engine.location).size() - catalogueBefore;
    const QString unpacked = work.filePath(QStringLiteral("unpacked"));
    QDir().mkpath(unpacked);
    ::sync();
    run.extracted = runMeasured(QStringLiteral("bsdtar"),
                                {QStringLiteral("-xf"), package, QStringLiteral("-C"), unpacked});
    emptyCatalogue(engine);
    run.packageBytes = QFileInfo(package).size();
    printWholeRun(engine, run);
    return run.whole();
}

} // namespace zq::bench
