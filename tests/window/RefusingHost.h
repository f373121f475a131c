#pragma once

#include "FakeHost.h"

namespace zq::test {

// The fake host, except that ZQDoResTypeProc refuses the templates named in `refused`; every
// call is still recorded by the fake.
class RefusingHost final : public HostPlatform {
public:
    FakeHost fake;
    QStringList refused;

    int ZQDoResTypeProc(const QString& typeName, const QString& caption, const QString& fullPath,
                        QString& resText) override {
        const int answer = fake.ZQDoResTypeProc(typeName, caption, fullPath, resText);
        return refused.contains(caption) ? -1 : answer;
    }
    int ZQImportNewRes(QString& name, QString& typeName, QString& description, QString& keyword,
                       const QString& storedPath, const QString& classPath, int flag) override {
        return fake.ZQImportNewRes(name, typeName, description, keyword, storedPath, classPath,
                                   flag);
    }
    void SetOldParentID(int id) override { fake.SetOldParentID(id); }
    int GetOldParentID() override { return fake.GetOldParentID(); }
    QString ZQGetCurUUID(const QString& memo, const QString& keywords, const QString& origin,
                         const QString& reserved, const QString& fullPath, const QString& module,
                         int parentId, int kind, int flag) override {
        return fake.ZQGetCurUUID(memo, keywords, origin, reserved, fullPath, module, parentId, kind,
                                 flag);
    }
    int RegisterDataExN(const QString& typeName, const QString& caption, const QString& uuid,
                        const QString& resText) override {
        return fake.RegisterDataExN(typeName, caption, uuid, resText);
    }
    int RegisterDataN(const QString& kind, const QString& memo, const QString& uuid) override {
        return fake.RegisterDataN(kind, memo, uuid);
    }
    QString GetDataInfo(int itemId) override { return fake.GetDataInfo(itemId); }
    QString LoadDataFileName(int itemId) override { return fake.LoadDataFileName(itemId); }
    QString GetZQTempPathY() override { return fake.GetZQTempPathY(); }
    QString ZQGetCurPrjSerial() override { return fake.ZQGetCurPrjSerial(); }
    QString CompressFile(const QString& folder, const QString& archive) override {
        return fake.CompressFile(folder, archive);
    }
    QString ExtractFile(const QString& archive, const QString& folder) override {
        return fake.ExtractFile(archive, folder);
    }
    void ViewFile(const QString& path, int mode, const QString& title) override {
        fake.ViewFile(path, mode, title);
    }
    QSqlDatabase GetBaseDBConnection() override { return fake.GetBaseDBConnection(); }
};

} // namespace zq::test
