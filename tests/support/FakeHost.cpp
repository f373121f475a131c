#include "FakeHost.h"

namespace zq::test {

namespace {
QString n(int value) {
    return QString::number(value);
}
} // namespace

QStringList FakeHost::callNames() const {
    QStringList names;
    for (const QStringList& call : calls)
        names.append(call.first());
    return names;
}

int FakeHost::ZQDoResTypeProc(const QString& typeName, const QString& caption,
                              const QString& fullPath, QString& resText) {
    calls.append({QStringLiteral("ZQDoResTypeProc"), typeName, caption, fullPath, resText});
    resText = resTypeProcText;
    return resTypeProcResult;
}

int FakeHost::ZQImportNewRes(QString& name, QString& typeName, QString& description,
                             QString& keyword, const QString& storedPath, const QString& classPath,
                             int flag) {
    calls.append({QStringLiteral("ZQImportNewRes"), name, typeName, description, keyword,
                  storedPath, classPath, n(flag)});
    typeName = importTypeName;
    keyword = importKeyword;
    return importNewResResult;
}

void FakeHost::SetOldParentID(int id) {
    calls.append({QStringLiteral("SetOldParentID"), n(id)});
}

int FakeHost::GetOldParentID() {
    calls.append({QStringLiteral("GetOldParentID")});
    return oldParentId;
}

QString FakeHost::ZQGetCurUUID(const QString& memo, const QString& keywords, const QString& origin,
                               const QString& reserved, const QString& fullPath,
                               const QString& module, int parentId, int kind, int flag) {
    calls.append({QStringLiteral("ZQGetCurUUID"), memo, keywords, origin, reserved, fullPath,
                  module, n(parentId), n(kind), n(flag)});
    return uuid;
}

int FakeHost::RegisterDataExN(const QString& typeName, const QString& caption,
                              const QString& uuidText, const QString& resText) {
    calls.append({QStringLiteral("RegisterDataExN"), typeName, caption, uuidText, resText});
    return registerDataExNResult;
}

int FakeHost::RegisterDataN(const QString& kind, const QString& memo, const QString& uuidText) {
    calls.append({QStringLiteral("RegisterDataN"), kind, memo, uuidText});
    return 0;
}

QString FakeHost::GetDataInfo(int itemId) {
    calls.append({QStringLiteral("GetDataInfo"), n(itemId)});
    return dataInfo;
}

QString FakeHost::LoadDataFileName(int itemId) {
    calls.append({QStringLiteral("LoadDataFileName"), n(itemId)});
    return dataFileName;
}

QString FakeHost::GetZQTempPathY() {
    calls.append({QStringLiteral("GetZQTempPathY")});
    return tempPath;
}

QString FakeHost::ZQGetCurPrjSerial() {
    calls.append({QStringLiteral("ZQGetCurPrjSerial")});
    return projectSerial;
}

QString FakeHost::CompressFile(const QString& folder, const QString& archive) {
    calls.append({QStringLiteral("CompressFile"), folder, archive});
    return compressWith ? compressWith(folder, archive) : compressResult;
}

QString FakeHost::ExtractFile(const QString& archive, const QString& folder) {
    calls.append({QStringLiteral("ExtractFile"), archive, folder});
    return extractWith ? extractWith(archive, folder) : extractResult;
}

void FakeHost::ViewFile(const QString& path, int mode, const QString& title) {
    calls.append({QStringLiteral("ViewFile"), path, n(mode), title});
}

QSqlDatabase FakeHost::GetBaseDBConnection() {
    calls.append({QStringLiteral("GetBaseDBConnection")});
    return connection;
}

} // namespace zq::test
