#pragma once

#include "platform/HostPlatform.h"

#include <QHash>
#include <QList>
#include <QStringList>
#include <functional>

namespace zq::test {

// A host that records every call, as its name followed by its arguments, and answers from
// fields a test sets.
class FakeHost final : public HostPlatform {
public:
    QList<QStringList> calls;
    QStringList callNames() const;

    // Answers.
    int resTypeProcResult = 0;
    QString resTypeProcText = QStringLiteral("RES");
    int importNewResResult = 0;
    QString importTypeName = QStringLiteral("WORD");
    QString importKeyword = QStringLiteral("关键字");
    int oldParentId = 7;
    QString uuid = QStringLiteral("UUID-1");
    int registerDataExNResult = 100;
    QString dataInfo = QStringLiteral("100@&@标题@&@说明");
    QString dataFileName = QStringLiteral("/tmp/item.doc");
    QString tempPath = QStringLiteral("/tmp/");
    QString projectSerial = QStringLiteral("P2026-001");
    QString compressResult = QStringLiteral("ok");
    QString extractResult = QStringLiteral("ok");
    // When set, the archive calls do this real work instead of answering the fields above.
    std::function<QString(const QString&, const QString&)> compressWith;
    std::function<QString(const QString&, const QString&)> extractWith;
    QSqlDatabase connection;

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
};

// Puts a fake host in place for the lifetime of the guard.
class FakeHostScope {
public:
    explicit FakeHostScope(FakeHost& host) { setHostPlatform(&host); }
    ~FakeHostScope() { setHostPlatform(nullptr); }
};

} // namespace zq::test
