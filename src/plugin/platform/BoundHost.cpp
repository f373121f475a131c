#include "platform/BoundHost.h"

#include "util/Error.h"
#include "util/Gb18030.h"

#include <QHash>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>

namespace zq {

namespace {

const char* const kLibraries[] = {"libZQPlatFormAPI.so", "libZQZipTool.so", "libZQViewFile.so",
                                  "libZQDataIntegrateAPI.so", "libZQProjectInfoAPI.so"};
const char* const kConnectionLibrary = "libZQDBConAPI.so";

// Owns a text the host hands back and releases it with free().
QString takeText(char* text) {
    const QString result = fromGb18030(text);
    std::free(text);
    return result;
}

// An out text as the host expects it: a malloc'ed copy, or NULL for a cleared one.
char* outText(const QString& value) {
    if (value.isEmpty())
        return nullptr;
    return strdup(toGb18030(value).constData());
}

} // namespace

struct BoundHost::Libraries {
    QList<void*> handles;
    QHash<QByteArray, void*> symbols;
};

BoundHost::BoundHost()
    : m_libs(new Libraries) {
    // The executable's own services first, then each library's; later names do not shadow.
    m_libs->handles.append(dlopen(nullptr, RTLD_NOW));
    for (const char* library : kLibraries)
        if (void* handle = dlopen(library, RTLD_NOW | RTLD_LOCAL))
            m_libs->handles.append(handle);
    const char* const names[] = {"ZQDoResTypeProc", "ZQImportNewRes",    "SetOldParentID",
                                 "GetOldParentID",  "ZQGetCurUUID",      "RegisterDataExN",
                                 "RegisterDataN",   "GetDataInfo",       "LoadDataFileName",
                                 "GetZQTempPathY",  "ZQGetCurPrjSerial", "CompressFile",
                                 "ExtractFile",     "ViewFile"};
    for (const char* name : names) {
        for (void* handle : std::as_const(m_libs->handles)) {
            if (void* symbol = handle ? dlsym(handle, name) : nullptr) {
                m_libs->symbols.insert(name, symbol);
                break;
            }
        }
    }
}

// The host's libraries are not closed: closing them from an exit handler, while the host tears
// itself down, crashes it, and they belong to the host for as long as it runs.
BoundHost::~BoundHost() {
    delete m_libs;
}

template <typename F> F* BoundHost::bound(const char* name) const {
    void* symbol = m_libs->symbols.value(name);
    if (!symbol)
        throw Error(QStringLiteral("宿主服务 %1 不可用。").arg(QLatin1String(name)));
    return reinterpret_cast<F*>(symbol);
}

int BoundHost::ZQDoResTypeProc(const QString& typeName, const QString& caption,
                               const QString& fullPath, QString& resText) {
    using F = int32_t(const char*, const char*, const char*, char**);
    char* out = outText(resText);
    const int result =
        bound<F>("ZQDoResTypeProc")(toGb18030(typeName).constData(), toGb18030(caption).constData(),
                                    toGb18030(fullPath).constData(), &out);
    resText = takeText(out);
    return result;
}

int BoundHost::ZQImportNewRes(QString& name, QString& typeName, QString& description,
                              QString& keyword, const QString& storedPath, const QString& classPath,
                              int flag) {
    using F = int32_t(char**, char**, char**, char**, const char*, const char*, int32_t);
    F* call = bound<F>("ZQImportNewRes");
    char* texts[4] = {outText(name), outText(typeName), outText(description), outText(keyword)};
    const int result =
        call(&texts[0], &texts[1], &texts[2], &texts[3], toGb18030(storedPath).constData(),
             toGb18030(classPath).constData(), flag);
    name = takeText(texts[0]);
    typeName = takeText(texts[1]);
    description = takeText(texts[2]);
    keyword = takeText(texts[3]);
    return result;
}

void BoundHost::SetOldParentID(int id) {
    bound<void(int32_t)>("SetOldParentID")(id);
}

int BoundHost::GetOldParentID() {
    return bound<int32_t()>("GetOldParentID")();
}

QString BoundHost::ZQGetCurUUID(const QString& memo, const QString& keywords, const QString& origin,
                                const QString& reserved, const QString& fullPath,
                                const QString& module, int parentId, int kind, int flag) {
    using F = char*(const char*, const char*, const char*, const char*, const char*, const char*,
                    int32_t, int32_t, int32_t);
    return takeText(bound<F>("ZQGetCurUUID")(
        toGb18030(memo).constData(), toGb18030(keywords).constData(), toGb18030(origin).constData(),
        toGb18030(reserved).constData(), toGb18030(fullPath).constData(),
        toGb18030(module).constData(), parentId, kind, flag));
}

int BoundHost::RegisterDataExN(const QString& typeName, const QString& caption, const QString& uuid,
                               const QString& resText) {
    using F = int32_t(const char*, const char*, const char*, const char*);
    return bound<F>("RegisterDataExN")(toGb18030(typeName).constData(),
                                       toGb18030(caption).constData(), toGb18030(uuid).constData(),
                                       toGb18030(resText).constData());
}

int BoundHost::RegisterDataN(const QString& kind, const QString& memo, const QString& uuid) {
    using F = int32_t(const char*, const char*, const char*);
    return bound<F>("RegisterDataN")(toGb18030(kind).constData(), toGb18030(memo).constData(),
                                     toGb18030(uuid).constData());
}

QString BoundHost::GetDataInfo(int itemId) {
    return takeText(bound<char*(int32_t)>("GetDataInfo")(itemId));
}

QString BoundHost::LoadDataFileName(int itemId) {
    return takeText(bound<char*(int32_t)>("LoadDataFileName")(itemId));
}

QString BoundHost::GetZQTempPathY() {
    return takeText(bound<char*()>("GetZQTempPathY")());
}

QString BoundHost::ZQGetCurPrjSerial() {
    return takeText(bound<char*()>("ZQGetCurPrjSerial")());
}

QString BoundHost::CompressFile(const QString& folder, const QString& archive) {
    using F = char*(const char*, const char*);
    return takeText(
        bound<F>("CompressFile")(toGb18030(folder).constData(), toGb18030(archive).constData()));
}

QString BoundHost::ExtractFile(const QString& archive, const QString& folder) {
    using F = char*(const char*, const char*);
    return takeText(
        bound<F>("ExtractFile")(toGb18030(archive).constData(), toGb18030(folder).constData()));
}

void BoundHost::ViewFile(const QString& path, int mode, const QString& title) {
    using F = void(const char*, int32_t, const char*);
    bound<F>("ViewFile")(toGb18030(path).constData(), mode, toGb18030(title).constData());
}

QSqlDatabase BoundHost::GetBaseDBConnection() {
    // The connection library is opened only for this call and released again; the connection
    // itself belongs to the host process and outlives it.
    void* library = dlopen(kConnectionLibrary, RTLD_NOW | RTLD_LOCAL);
    if (!library)
        return {};
    QSqlDatabase connection;
    if (auto* get = reinterpret_cast<void* (*)()>(dlsym(library, "GetBaseDBConnection"))) {
        if (const auto* db = static_cast<const QSqlDatabase*>(get()))
            connection = *db;
    }
    dlclose(library);
    return connection;
}

} // namespace zq
