// How fast a template package is written and read: 2,000 templates of 40 KB under one class,
// half of them text-like (as .doc and .xls are), half already compressed (as .docx and .xlsx
// are). Export (selection tree, staging, manifest, archive) is measured against
// `bsdtar -a -cf x.zip` of the same files, import (extraction, store, rows) against
// `bsdtar -xf` of the same package, on either engine.
#include "Archive.h"
#include "Bench.h"
#include "FakeHost.h"
#include "HostDatabase.h"
#include "catalogue/ClassCatalogue.h"
#include "catalogue/SearchKeys.h"
#include "catalogue/Sql.h"
#include "catalogue/TemplateDocuments.h"
#include "catalogue/TemplateStore.h"
#include "exchange/PackageReader.h"
#include "exchange/PackageWriter.h"
#include "util/FileUtil.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cstdio>
#include <random>
#include <unistd.h>

namespace zq::bench {

namespace {

constexpr int kRuns = 5;
constexpr int kTemplates = 2000;
constexpr int kFileBytes = 40 * 1024;
const QString kPrefix = QStringLiteral("bench-package-");

QString fileName(int i) {
    static const char* const kinds[] = {".doc", ".xls", ".docx", ".xlsx"};
    return kPrefix + QString::number(i) + QLatin1String(kinds[i % 4]);
}

// Text-like bytes from a small vocabulary, or random bytes that deflate cannot shrink.
QByteArray content(int i, std::mt19937& random) {
    QByteArray bytes;
    bytes.reserve(kFileBytes);
    if (i % 4 < 2) {
        static const char* const words[] = {"审计", "底稿", "资产", "负债", "收入", "成本",
                                            "the ", "of ",  "2026", "年度", "凭证", "科目"};
        while (bytes.size() < kFileBytes)
            bytes.append(words[random() % 12]);
        bytes.truncate(kFileBytes);
    } else {
        for (int n = 0; n < kFileBytes; n += 4) {
            const quint32 value = random();
            bytes.append(reinterpret_cast<const char*>(&value), 4);
        }
    }
    return bytes;
}

bool runTool(const QStringList& arguments) {
    return QProcess::execute(QStringLiteral("bsdtar"), arguments) == 0;
}

void removeStoreFiles() {
    for (const QString& name : QDir(templateStorePath()).entryList({kPrefix + "*"}, QDir::Files))
        QFile::remove(storedFilePath(name));
}

// The bench's templates in the catalogue and the store, their names listed in the file.
void writeTemplates(const QSqlDatabase& db, QFile& list) {
    QDir().mkpath(templateStorePath());
    removeStoreFiles();
    std::mt19937 random(20261210);
    list.open(QIODevice::WriteOnly);
    Transaction transaction(db);
    insertClass(db, QStringLiteral("0001"), QStringLiteral("性能"), QString());
    for (int i = 0; i < kTemplates; ++i) {
        QFile file(storedFilePath(fileName(i)));
        file.open(QIODevice::WriteOnly);
        file.write(content(i, random));
        insertTemplate(db, {.caption = fileName(i),
                            .fileName = fileName(i),
                            .typeName = QStringLiteral("WORD"),
                            .classCode = QStringLiteral("0001")});
        list.write(fileName(i).toUtf8() + '\n');
    }
    transaction.commit();
    list.close();
}

// The best of the runs of ours and of bsdtar's, and how many templates ours wrote and read.
struct PackageTimes {
    int written = 0;
    int imported = 0;
    double exportMs = std::numeric_limits<double>::max();
    double bsdtarCreateMs = std::numeric_limits<double>::max();
    double importMs = std::numeric_limits<double>::max();
    double importWithoutKeysMs = std::numeric_limits<double>::max();
    double bsdtarExtractMs = std::numeric_limits<double>::max();
};

// Runs alternate between ours and bsdtar, each after the disk has written what is pending,
// both writing on the same file system.
void timeExports(const QSqlDatabase& db, const QString& package, const QString& zip,
                 const QString& listPath, PackageTimes& times) {
    for (int run = 0; run < kRuns; ++run) {
        ::sync();
        times.exportMs = std::min(times.exportMs, bestMs(1, [&] {
                                      QList<SelectionNode> tree = fillSelectionTree(db);
                                      setChecked(tree[0], Qt::Checked);
                                      times.written = writePackage(db, tree[0], package).templates;
                                  }));
        QFile::remove(zip);
        ::sync();
        times.bsdtarCreateMs =
            std::min(times.bsdtarCreateMs, bestMs(1, [&] {
                         runTool({"-a", "-cf", zip, "-C", templateStorePath(), "-T", listPath});
                     }));
    }
}

// Each import starts from an empty catalogue and store; bsdtar unpacks beside the store. An
// import with the search keys put aside shows what writing them costs.
void timeImports(const QSqlDatabase& db, const QString& package, PackageTimes& times) {
    const QString target = hostFolder() + QStringLiteral("bench-package-x/");
    const auto emptied = [&] {
        runSql(db, QStringLiteral("delete from ZQ_DocTempDetail"));
        runSql(db, QStringLiteral("delete from ZQ_DocTemplateFile"));
        runSql(db, QStringLiteral("delete from ") + kSearchKeyTable);
        removeStoreFiles();
        ::sync();
    };
    for (int run = 0; run < kRuns; ++run) {
        emptied();
        times.importMs = std::min(times.importMs, bestMs(1, [&] {
                                      times.imported = importPackage(db, package).templatesAdded;
                                  }));
        emptied();
        setSearchKeysAside(db, true);
        times.importWithoutKeysMs =
            std::min(times.importWithoutKeysMs, bestMs(1, [&] { importPackage(db, package); }));
        setSearchKeysAside(db, false);
        deleteDirectoryTree(target);
        QDir().mkpath(target);
        ::sync();
        times.bsdtarExtractMs = std::min(times.bsdtarExtractMs, bestMs(1, [&] {
                                             runTool({"-xf", package, "-C", target});
                                         }));
    }
    deleteDirectoryTree(target);
}

} // namespace

bool packageBench(const Engine& engine) {
    if (QStandardPaths::findExecutable(QStringLiteral("bsdtar")).isEmpty()) {
        std::printf("Template packages: bsdtar not found, case skipped\n");
        return true;
    }
    QSqlDatabase db = engine.db;
    corvane::clearCatalogue(db);
    ensureSearchKeys(db);
    test::FakeHost host;
    host.compressWith = corvane::compressFolder;
    host.extractWith = [](const QString& archive, const QString& folder) {
        corvane::ExtractLimits limits;
        limits.entries = kTemplates + 1;
        return corvane::extractArchive(archive, folder, limits);
    };
    const test::FakeHostScope scope(host);
    const QTemporaryDir work;
    // A host folder of its own on the same disk, so that each import starts from an empty
    // store whatever earlier runs left in the real one.
    const QTemporaryDir ownHost(hostFolder() + QStringLiteral("bench-host-XXXXXX"));
    setHostFolder(ownHost.path());
    const auto back = qScopeGuard([] { setHostFolder({}); });

    QFile list(work.filePath(QStringLiteral("files.txt")));
    writeTemplates(db, list);

    const QString package = work.filePath(QStringLiteral("bench.TempFile"));
    const QString zip = work.filePath(QStringLiteral("baseline.zip"));
    PackageTimes times;
    timeExports(db, package, zip, list.fileName(), times);
    timeImports(db, package, times);
    const bool whole = times.written == kTemplates && times.imported == kTemplates &&
                       QDir(templateStorePath()).entryList({kPrefix + "*"}).size() == kTemplates;

    std::printf("Template packages of %d templates of %d KB, half already compressed (best of %d; "
                "ratio = ours / bsdtar)\n",
                kTemplates, kFileBytes / 1024, kRuns);
    std::printf("%-10s %10s %10s %8s %10s %10s %8s %8s  %s\n", "engine", "export ms", "bsdtar -c",
                "ratio", "import ms", "bsdtar -x", "ratio", "MB", "all there");
    std::printf("%-10s %10.1f %10.1f %7.2fx %10.1f %10.1f %7.2fx %8.1f  %s\n", engine.name,
                times.exportMs, times.bsdtarCreateMs, times.exportMs / times.bsdtarCreateMs,
                times.importMs, times.bsdtarExtractMs, times.importMs / times.bsdtarExtractMs,
                double(QFileInfo(package).size()) / (1 << 20), whole ? "yes" : "NO");
    std::printf("%-10s %43s %8.1f (bsdtar's zip)\n", "", "",
                double(QFileInfo(zip).size()) / (1 << 20));
    std::printf("%-10s import with the search keys %.1f ms, without %.1f ms: %.2fx (goal 1.1x, "
                "%s)\n",
                engine.name, times.importMs, times.importWithoutKeysMs,
                times.importMs / times.importWithoutKeysMs,
                times.importMs <= 1.1 * times.importWithoutKeysMs ? "met" : "NOT met");
    removeStoreFiles();
    corvane::clearCatalogue(db);
    return whole;
}

} // namespace zq::bench
