// libFuzzer target: the package manifest reader. Whatever the input, reading ends with the
// entries or with zq::Error, and every entry it gives is a class or a template.

#include "exchange/Manifest.h"
#include "util/Error.h"

#include <QFile>
#include <QTemporaryDir>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static QTemporaryDir work;
    const QString path = work.filePath(QStringLiteral("manifest.xml"));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            std::abort();
        file.write(reinterpret_cast<const char*>(data), qint64(size));
    }
    zq::ManifestLimits limits;
    limits.bytes = 1 << 20;
    limits.entries = 1000;
    try {
        const zq::Manifest manifest = zq::readManifest(path, limits);
        if (manifest.entries.size() > limits.entries) {
            std::fprintf(stderr, "fuzz_manifest: more entries than the bound\n");
            std::abort();
        }
    } catch (const zq::Error&) {
    }
    return 0;
}
