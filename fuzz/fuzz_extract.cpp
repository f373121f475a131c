// libFuzzer target: the stand-in host's extraction of an archive into a folder. Whatever the
// input, the extraction ends (result or refusal), and afterwards the working folder holds only
// the input and the target, and the target only regular files directly inside it.

#include "Archive.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

namespace {

void require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "fuzz_extract: %s\n", what);
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static QTemporaryDir work;
    const QString archive = work.filePath(QStringLiteral("input.zip"));
    const QString target = work.filePath(QStringLiteral("target"));
    {
        QFile file(archive);
        require(file.open(QIODevice::WriteOnly | QIODevice::Truncate), "cannot write the input");
        file.write(reinterpret_cast<const char*>(data), qint64(size));
    }
    QDir(target).removeRecursively();
    require(QDir().mkpath(target), "cannot make the target");

    // Small bounds keep each run short; the bounds themselves are what is under test.
    corvane::ExtractLimits limits;
    limits.entries = 64;
    limits.bytes = 8 << 20;
    limits.ratioFrom = 64 << 10;
    try {
        corvane::extractArchive(archive, target, limits);
    } catch (const std::runtime_error&) {
    }

    const QDir::Filters all = QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot;
    require(QDir(work.path()).entryList(all, QDir::Name) ==
                QStringList({QStringLiteral("input.zip"), QStringLiteral("target")}),
            "something was written beside the target");
    for (const QFileInfo& entry : QDir(target).entryInfoList(all))
        require(entry.isFile() && !entry.isSymLink(), "the target holds more than regular files");
    return 0;
}
