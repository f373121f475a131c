#include "registration/Registration.h"

#include "catalogue/TemplateStore.h"
#include "util/FileUtil.h"

#include <QFileInfo>

namespace zq {

bool ProjectOpenForRegistration(HostPlatform& host) {
    const QString serial = host.ZQGetCurPrjSerial();
    return !serial.isEmpty() && serial.toUpper() != QLatin1String("PROJECTTEST");
}

QString ExistingTemplateFile(const QString& docFileName) {
    const QString path = StoredFilePath(docFileName);
    return !docFileName.contains(QLatin1Char('/')) && QFileInfo(path).isFile() ? path : QString();
}

int RegisterTemplateDoc(HostPlatform& host, const TDocNodeInfo& doc, ParentIdSource source) {
    const QString fullPath = StoredFilePath(doc.DocFileName);
    QString resText;
    const int accepted = host.ZQDoResTypeProc(doc.DocTypeName, doc.DocCaption, fullPath, resText);
    if (accepted < 0)
        return accepted;
    const int parentId = source == ParentIdSource::Fixed ? -1 : host.GetOldParentID();
    const QString uuid = host.ZQGetCurUUID(doc.DocMemo, doc.DocKeyWord, QStringLiteral("WWW"), {},
                                           fullPath, QStringLiteral("XMGL"), parentId, 20, 1);
    return host.RegisterDataExN(doc.DocTypeName, doc.DocCaption, uuid, resText);
}

void ViewRegisteredItem(HostPlatform& host, int itemId) {
    QStringList fields;
    SplitText(host.GetDataInfo(itemId), QStringLiteral("@&@"), fields);
    const QString title = fields.size() >= 3 ? fields[1] : QString();
    host.ViewFile(host.LoadDataFileName(itemId), 1, title);
}

void RegisterListRow(HostPlatform& host, const QString& fullPath, const QString& description) {
    const QString extension = QFileInfo(fullPath).suffix().toLower();
    const QString kind = extension == QLatin1String("doc")   ? QStringLiteral("WORD")
                         : extension == QLatin1String("xls") ? QStringLiteral("EXCEL")
                                                             : QStringLiteral("OTHER");
    const QString uuid = host.ZQGetCurUUID(description, {}, QStringLiteral("WWR"), {}, fullPath,
                                           QStringLiteral("XMGL"), -1, 20, 1);
    host.RegisterDataN(kind, description, uuid);
}

} // namespace zq
