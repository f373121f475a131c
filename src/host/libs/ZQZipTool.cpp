// libZQZipTool.so: the host's archive tool.

#include "Archive.h"
#include "HostCore.h"
#include "HostServices.h"

using corvane::fromHost;

CORVANE_SERVICE char* CompressFile(const char* folder, const char* archive) {
    return corvane::serveText("CompressFile", [&](QJsonArray& args) {
        const QString from = fromHost(folder), to = fromHost(archive);
        args = {from, to};
        return corvane::compressFolder(from, to);
    });
}

CORVANE_SERVICE char* ExtractFile(const char* archive, const char* folder) {
    return corvane::serveText("ExtractFile", [&](QJsonArray& args) {
        const QString from = fromHost(archive), to = fromHost(folder);
        args = {from, to};
        return corvane::extractArchive(from, to);
    });
}
