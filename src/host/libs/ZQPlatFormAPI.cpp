// libZQPlatFormAPI.so: resources of the platform.

#include "HostCore.h"
#include "HostServices.h"
#include "ProjectStore.h"

using corvane::fromHost;

CORVANE_SERVICE char* ZQGetCurUUID(const char* memo, const char* keywords, const char* origin,
                                   const char* reserved, const char* fullPath, const char* module,
                                   int32_t parentId, int32_t kind, int32_t flag) {
    return corvane::serveText("ZQGetCurUUID", [&](QJsonArray& args) {
        const corvane::ResourceRequest request{fromHost(memo),
                                               fromHost(keywords),
                                               fromHost(origin),
                                               fromHost(reserved),
                                               fromHost(fullPath),
                                               fromHost(module),
                                               parentId,
                                               kind,
                                               flag};
        args = {request.memo,
                request.keywords,
                request.origin,
                request.reserved,
                request.fullPath,
                request.module,
                parentId,
                kind,
                flag};
        return corvane::addResource(request);
    });
}
