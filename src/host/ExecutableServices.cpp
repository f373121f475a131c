// The services the host executable offers itself; the plug-in finds them with dlopen(NULL), so
// the executable is linked with its symbols exported.

#include "HostCore.h"
#include "HostServices.h"
#include "ProjectStore.h"

#include <QFileInfo>

using corvane::fromHost;

CORVANE_SERVICE int32_t ZQDoResTypeProc(const char* typeName, const char* caption,
                                        const char* fullPath, char** resText) {
    return corvane::serve("ZQDoResTypeProc", -1, [&](QJsonArray& args) {
        const QString type = fromHost(typeName), path = fromHost(fullPath);
        args = {type, fromHost(caption), path};
        QString text;
        const int result = corvane::describeResource(type, path, text);
        if (result >= 0)
            corvane::setOut(resText, text);
        args.append(text);
        return result;
    });
}

CORVANE_SERVICE int32_t ZQImportNewRes(char** name, char** typeName, char** description,
                                       char** keyword, const char* storedPath,
                                       const char* classPath, int32_t flag) {
    return corvane::serve("ZQImportNewRes", -1, [&](QJsonArray& args) {
        const QString caption = fromHost(name ? *name : nullptr);
        const QString path = fromHost(storedPath), classes = fromHost(classPath);
        args = {caption, fromHost(description ? *description : nullptr), path, classes, flag};
        if (!QFileInfo(path).isFile())
            return -1;
        const QString type = corvane::dataTypeOf(path);
        const QString words = corvane::keywordsOf(
            caption.isEmpty() ? QFileInfo(path).completeBaseName() : caption, classes);
        corvane::setOut(typeName, type);
        corvane::setOut(keyword, words);
        args.append(type);
        args.append(words);
        return 0;
    });
}

CORVANE_SERVICE void SetOldParentID(int32_t id) {
    corvane::serve("SetOldParentID", 0, [&](QJsonArray& args) {
        args = {id};
        corvane::setOldParentId(id);
        return 0;
    });
}

CORVANE_SERVICE int32_t GetOldParentID() {
    return corvane::serve("GetOldParentID", -1, [](QJsonArray&) { return corvane::oldParentId(); });
}
