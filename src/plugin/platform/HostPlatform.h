#pragma once

#include <QSqlDatabase>
#include <QString>

namespace zq {

// Every operation the plug-in asks of its host, in the host's own names and argument order.
// The bound implementation converts texts to the host's GB18030 bytes; tests put a recording
// fake in its place. A service the host does not offer throws zq::Error when called.
class HostPlatform {
public:
    virtual ~HostPlatform() = default;

    // The host executable.
    virtual int ZQDoResTypeProc(const QString& typeName, const QString& caption,
                                const QString& fullPath, QString& resText) = 0;
    virtual int ZQImportNewRes(QString& name, QString& typeName, QString& description,
                               QString& keyword, const QString& storedPath,
                               const QString& classPath, int flag) = 0;
    virtual void SetOldParentID(int id) = 0;
    virtual int GetOldParentID() = 0;

    // The platform, data-integration and project libraries.
    virtual QString ZQGetCurUUID(const QString& memo, const QString& keywords,
                                 const QString& origin, const QString& reserved,
                                 const QString& fullPath, const QString& module, int parentId,
                                 int kind, int flag) = 0;
    virtual int RegisterDataExN(const QString& typeName, const QString& caption,
                                const QString& uuid, const QString& resText) = 0;
    virtual int RegisterDataN(const QString& kind, const QString& memo, const QString& uuid) = 0;
    virtual QString GetDataInfo(int itemId) = 0;
    virtual QString LoadDataFileName(int itemId) = 0;
    virtual QString GetZQTempPathY() = 0;
    virtual QString ZQGetCurPrjSerial() = 0;

    // The archive and viewer libraries.
    virtual QString CompressFile(const QString& folder, const QString& archive) = 0;
    virtual QString ExtractFile(const QString& archive, const QString& folder) = 0;
    virtual void ViewFile(const QString& path, int mode, const QString& title) = 0;

    // The host's base connection; an invalid database when none is obtained.
    virtual QSqlDatabase GetBaseDBConnection() = 0;
};

// The host the plug-in talks to. By default the services bound by name from the process.
HostPlatform& hostPlatform();
// Puts another host in place (tests); nullptr puts the bound host back.
void setHostPlatform(HostPlatform* host);

} // namespace zq
