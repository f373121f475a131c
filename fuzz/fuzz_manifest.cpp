// libFuzzer target: the package manifest reader. Whatever the input, reading ends with the
// entries or with zq::Error, keeps to its bounds, and what it read survives being written and
// read again unchanged (an imported package exports as it came).

#include "exchange/Manifest.h"
#include "util/Error.h"

#include <QFile>
#include <QTemporaryDir>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

void require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "fuzz_manifest: %s\n", what);
        std::abort();
    }
}

bool sameEntries(const QList<zq::ManifestEntry>& a, const QList<zq::ManifestEntry>& b) {
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        const auto form = zq::TemplateRecord::Form::SevenFields;
        if (a[i].kind != b[i].kind || a[i].record.toList(form) != b[i].record.toList(form))
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static QTemporaryDir work;
    const QString path = work.filePath(QStringLiteral("manifest.xml"));
    const QString again = work.filePath(QStringLiteral("again.xml"));
    {
        QFile file(path);
        require(file.open(QIODevice::WriteOnly | QIODevice::Truncate), "cannot write the input");
        file.write(reinterpret_cast<const char*>(data), qint64(size));
    }
    zq::ManifestLimits limits;
    limits.bytes = 1 << 20;
    limits.entries = 1000;
    zq::Manifest manifest;
    try {
        manifest = zq::readManifest(path, limits);
    } catch (const zq::Error&) {
        return 0;
    }
    require(manifest.entries.size() <= limits.entries, "more entries than the bound");
    try {
        // The writer reads back what it wrote, and throws when that differs.
        zq::writeManifest(again, manifest.entries);
        require(sameEntries(zq::readManifest(again).entries, manifest.entries),
                "the entries changed on the way through writing and reading");
    } catch (const zq::Error&) {
        require(false, "a manifest written from read entries cannot be read");
    }
    return 0;
}
