#pragma once

#include "Archive.h"
#include "FakeHost.h"

namespace zq::test {

// The stand-in host's own archives behind the fake host; a refused archive gives the empty text,
// as the host's service does.
inline void useHostArchives(FakeHost& host) {
    host.compressWith = corvane::compressFolder;
    host.extractWith = [](const QString& archive, const QString& folder) {
        try {
            return corvane::extractArchive(archive, folder);
        } catch (const std::exception&) {
            return QString();
        }
    };
}

} // namespace zq::test
