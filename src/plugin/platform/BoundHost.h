#pragma once

#include "platform/HostPlatform.h"

#include <functional>

namespace zq {

// The host services bound by name (dlopen/dlsym) from the host executable and its libraries.
class BoundHost final : public HostPlatform {
public:
    BoundHost();
    ~BoundHost() override;
    BoundHost(const BoundHost&) = delete;
    BoundHost& operator=(const BoundHost&) = delete;

    int ZQDoResTypeProc(const QString& typeName, const QString& caption, const QString& fullPath,
                        QString& resText) override;
    int ZQImportNewRes(QString& name, QString& typeName, QString& description, QString& keyword,
                       const QString& storedPath, const QString& classPath, int flag) override;
    void SetOldParentID(int id) override;
    int GetOldParentID() override;
    QString ZQGetCurUUID(const QString& memo, const QString& keywords, const QString& origin,
                         const QString& reserved, const QString& fullPath, const QString& module,
                         int parentId, int kind, int flag) override;
    int RegisterDataExN(const QString& typeName, const QString& caption, const QString& uuid,
                        const QString& resText) override;
    int RegisterDataN(const QString& kind, const QString& memo, const QString& uuid) override;
    QString GetDataInfo(int itemId) override;
    QString LoadDataFileName(int itemId) override;
    QString GetZQTempPathY() override;
    QString ZQGetCurPrjSerial() override;
    QString CompressFile(const QString& folder, const QString& archive) override;
    QString ExtractFile(const QString& archive, const QString& folder) override;
    void ViewFile(const QString& path, int mode, const QString& title) override;
    QSqlDatabase GetBaseDBConnection() override;

private:
    template <typename F> F* bound(const char* name) const;

    struct Libraries;
    Libraries* m_libs;
};

} // namespace zq
