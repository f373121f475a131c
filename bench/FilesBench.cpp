// What keeping the stored files in the catalogue costs: adding one 1 MB template and importing
// 2,000 templates, each with and without writing the file's bytes into the database, and
// opening a template whose local copy is current against the bare size-and-hash check.
#include "Bench.h"
#include "HostDatabase.h"
#include "catalogue/Sql.h"
#include "catalogue/TemplateFiles.h"
#include "catalogue/TemplateStore.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <limits>
#include <stdexcept>

namespace zq::bench {

namespace {

constexpr int kRuns = 5;
constexpr int kImported = 2000;
constexpr int kImportedSize = 24 * 1024;

void writeSource(const QString& path, int size, quint32 seed) {
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator random(seed);
    random.fillRange(reinterpret_cast<quint32*>(bytes.data()), size / 4);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != size)
        throw std::runtime_error("cannot write a bench source file");
}

// An empty catalogue and store before each run; the run itself is what is timed.
double bestOf(int runs, const std::function<void()>& reset, const std::function<void()>& work) {
    double best = std::numeric_limits<double>::max();
    for (int run = 0; run < runs; ++run) {
        reset();
        QElapsedTimer timer;
        timer.start();
        work();
        best = std::min(best, double(timer.nsecsElapsed()) / 1e6);
    }
    return best;
}

void report(const char* engine, const char* what, double withFiles, double without,
            const char* limit) {
    std::printf("%-10s %-34s %10.2f %12.2f %7.2fx  (at most %s)\n", engine, what, withFiles,
                without, withFiles / without, limit);
}

void resetStore(const QSqlDatabase& db, const QString& store) {
    corvane::clearCatalogue(const_cast<QSqlDatabase&>(db));
    ensureTemplateFileTable(db);
    runSql(db, QStringLiteral("delete from ZQ_DocTemplateFile"));
    runSql(db, QStringLiteral("insert into ZQ_DocInfoMaster(DocSortID, DocSortName) "
                              "values('0001', 'bench')"));
    QDir(store).removeRecursively();
    QDir().mkpath(store);
}

TemplateRecord row(const QString& stored) {
    const QString name = QFileInfo(stored).fileName();
    return {.caption = name,
            .fileName = name,
            .typeName = QStringLiteral("WORD"),
            .classCode = QStringLiteral("0001")};
}

struct OpenTimes {
    double current;
    double check;
    double fetch;
};

OpenTimes timeOpens(const QSqlDatabase& db, const QString& store, const QString& sources) {
    // Opening: a current local copy costs the check of its size and hash against the table.
    resetStore(db, store);
    const QString name =
        QFileInfo(copyToStore(sources + QStringLiteral("large.doc"), store)).fileName();
    addTemplateWithFile(db, row(store + name), store);
    constexpr int kOpens = 200;
    const auto noReset = [] {};
    const double openCurrent = bestOf(kRuns, noReset, [&] {
        for (int i = 0; i < kOpens; ++i)
            ensureLocalCopy(db, store, name);
    });
    const double check = bestOf(kRuns, noReset, [&] {
        for (int i = 0; i < kOpens; ++i) {
            QSqlQuery query = runSql(db,
                                     QStringLiteral("select FileSize, FileSha256 from "
                                                    "ZQ_DocTemplateFile where DocFileName = ?"),
                                     {name});
            query.next();
            const bool current = QFileInfo(store + name).size() == query.value(0).toLongLong() &&
                                 !query.value(1).toString().isEmpty();
            Q_UNUSED(current);
        }
    });
    const double fetch = bestOf(
        kRuns, [&] { QFile::remove(store + name); }, [&] { ensureLocalCopy(db, store, name); });
    return {openCurrent, check, fetch};
}

} // namespace

bool filesBench(const Engine& engine) {
    const QSqlDatabase& db = engine.db;
    QTemporaryDir folder;
    if (!folder.isValid())
        throw std::runtime_error("cannot make a temporary folder");
    const QString store = folder.filePath(QStringLiteral("store/"));
    const QString sources = folder.filePath(QStringLiteral("sources/"));
    QDir().mkpath(sources);
    writeSource(sources + QStringLiteral("large.doc"), 1024 * 1024, 1);
    for (int i = 0; i < kImported; ++i)
        writeSource(sources + QStringLiteral("t%1.doc").arg(i), kImportedSize, quint32(i + 2));

    const auto reset = [&] { resetStore(db, store); };
    const auto taken = [&](const QString& name) { return storedNameTaken(db, name); };

    // Adding: the copy into the store and the row, as the add dialog's OK does (the host's own
    // work between them is left out).
    const double addWithout = bestOf(kRuns, reset, [&] {
        insertTemplate(db, row(copyToStore(sources + QStringLiteral("large.doc"), store)));
    });
    const double addWith = bestOf(kRuns, reset, [&] {
        addTemplateWithFile(
            db, row(copyToStore(sources + QStringLiteral("large.doc"), store, taken)), store);
    });

    // Importing: every file copied into the store and its row inserted, in one transaction.
    const auto import = [&](bool withFiles) {
        Transaction transaction(db);
        for (int i = 0; i < kImported; ++i) {
            const QString source = sources + QStringLiteral("t%1.doc").arg(i);
            const QString stored =
                withFiles ? copyToStore(source, store, taken) : copyToStore(source, store);
            insertTemplate(db, row(stored));
            if (withFiles)
                insertTemplateFile(db, store, QFileInfo(stored).fileName());
        }
        transaction.commit();
    };
    const double importWithout = bestOf(3, reset, [&] { import(false); });
    const double importWith = bestOf(3, reset, [&] { import(true); });

    const OpenTimes opens = timeOpens(db, store, sources);
    reset();

    std::printf("%-10s %-34s %10s %12s %8s\n", "engine", "case", "with ms", "without ms", "ratio");
    report(engine.name, "add one 1 MB template", addWith, addWithout, "1.5x");
    report(engine.name, "import 2,000 templates of 24 KB", importWith, importWithout, "1.5x");
    report(engine.name, "open a current copy (x200)", opens.current, opens.check, "1x, the check");
    std::printf("%-10s %-34s %10.2f\n", engine.name, "fetch a missing 1 MB copy", opens.fetch);
    return true;
}

} // namespace zq::bench
