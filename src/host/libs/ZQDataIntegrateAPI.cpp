// libZQDataIntegrateAPI.so: data items of the open project, and the host's temporary folder.

#include "HostCore.h"
#include "HostServices.h"
#include "ProjectStore.h"

using corvane::fromHost;

CORVANE_SERVICE int32_t RegisterDataExN(const char* typeName, const char* caption, const char* uuid,
                                        const char* resText) {
    return corvane::serve("RegisterDataExN", -1, [&](QJsonArray& args) {
        const QString type = fromHost(typeName), title = fromHost(caption), id = fromHost(uuid),
                      text = fromHost(resText);
        args = {type, title, id, text};
        return corvane::registerItem(type, title, QString(), id, text);
    });
}

CORVANE_SERVICE int32_t RegisterDataN(const char* kind, const char* memo, const char* uuid) {
    return corvane::serve("RegisterDataN", -1, [&](QJsonArray& args) {
        const QString type = fromHost(kind), description = fromHost(memo), id = fromHost(uuid);
        args = {type, description, id};
        return corvane::registerItem(type, QString(), description, id, QString());
    });
}

CORVANE_SERVICE char* GetDataInfo(int32_t itemId) {
    return corvane::serveText("GetDataInfo", [&](QJsonArray& args) {
        args = {itemId};
        return corvane::dataInfo(itemId);
    });
}

CORVANE_SERVICE char* LoadDataFileName(int32_t itemId) {
    return corvane::serveText("LoadDataFileName", [&](QJsonArray& args) {
        args = {itemId};
        return corvane::dataFileName(itemId);
    });
}

CORVANE_SERVICE char* GetZQTempPathY() {
    return corvane::serveText("GetZQTempPathY", [](QJsonArray&) { return corvane::tempFolder(); });
}
