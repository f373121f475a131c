#include "registration/TemplateRegistration.h"

#include "catalogue/TemplateFiles.h"
#include "catalogue/TemplateStore.h"
#include "catalogue/TemplateVersions.h"

#include <QFileInfo>

namespace zq {

QString projectRefusal(HostPlatform& host, QString* current) {
    const QString serial = host.ZQGetCurPrjSerial();
    if (current)
        *current = serial;
    if (serial.isEmpty())
        return QStringLiteral("没有打开的项目，不能注册模板。");
    if (serial.toUpper() == QLatin1String("PROJECTTEST"))
        return QStringLiteral("测试项目不能注册模板。");
    return {};
}

QString existingTemplateFile(const QSqlDatabase& db, const QString& docFileName) {
    const QString path = localTemplateFile(db, docFileName);
    return !path.isEmpty() && QFileInfo(path).isFile() ? path : QString();
}

int registerTemplateDoc(HostPlatform& host, const QSqlDatabase& db, const TemplateRecord& doc,
                        const QString& project, ParentIdSource source) {
    const QString fullPath = storedFilePath(doc.fileName);
    QString resText;
    const int accepted = host.ZQDoResTypeProc(doc.typeName, doc.caption, fullPath, resText);
    if (accepted < 0)
        return accepted;
    const int parentId = source == ParentIdSource::Fixed ? -1 : host.GetOldParentID();
    const QString uuid = host.ZQGetCurUUID(doc.memo, doc.keyWord, QStringLiteral("WWW"), {},
                                           fullPath, QStringLiteral("XMGL"), parentId, 20, 1);
    const int itemId = host.RegisterDataExN(doc.typeName, doc.caption, uuid, resText);
    if (itemId >= 0)
        recordRegistration(db, doc.docId, project, itemId);
    return itemId;
}

void viewRegisteredItem(HostPlatform& host, int itemId) {
    QStringList fields = host.GetDataInfo(itemId).split(QStringLiteral("@&@"));
    // A separator at the end closes the last field; it opens no empty one.
    if (fields.last().isEmpty())
        fields.removeLast();
    const QString title = fields.size() >= 3 ? fields[1] : QString();
    host.ViewFile(host.LoadDataFileName(itemId), 1, title);
}

void registerListRow(HostPlatform& host, const QString& fullPath, const QString& description) {
    const QString extension = QFileInfo(fullPath).suffix().toLower();
    const QString kind = extension == QLatin1String("doc")   ? QStringLiteral("WORD")
                         : extension == QLatin1String("xls") ? QStringLiteral("EXCEL")
                                                             : QStringLiteral("OTHER");
    const QString uuid = host.ZQGetCurUUID(description, {}, QStringLiteral("WWR"), {}, fullPath,
                                           QStringLiteral("XMGL"), -1, 20, 1);
    host.RegisterDataN(kind, description, uuid);
}

} // namespace zq
