#include "ProjectStore.h"

#include "HostCore.h"
#include "HostDatabase.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QUuid>

namespace corvane {

namespace {

QString projectFolder(const QString& serial) {
    return dataFolder() + QStringLiteral("Projects/") + serial + QLatin1Char('/');
}

// The full path of an item's copy, or empty when the stored names are not bare (a tampered
// database must not lead the host outside its folder).
QString itemPath(const QString& serial, const QString& file) {
    if (!isSafeBareName(serial) || !isSafeBareName(file))
        return {};
    return projectFolder(serial) + file;
}

// The item's own copy of the file, under a fresh name in the project's folder.
QString copyIntoProject(const QFileInfo& source) {
    const QString folder = projectFolder(projectSerial());
    if (!QDir().mkpath(folder))
        throw std::runtime_error("cannot make " + folder.toStdString());
    const QString suffix = source.suffix();
    const QString copy = folder + QUuid::createUuid().toString(QUuid::Id128) +
                         (isSafeBareName(suffix) ? QLatin1Char('.') + suffix : QString());
    if (!QFile::copy(source.absoluteFilePath(), copy))
        throw std::runtime_error("cannot copy " + source.absoluteFilePath().toStdString());
    return copy;
}

} // namespace

QString addResource(const ResourceRequest& r) {
    const QString uuid = QUuid::createUuid().toString(QUuid::WithoutBraces);
    runQuery(hostDatabase(),
             QStringLiteral("insert into CV_Resource(ResUUID, ResMemo, ResKeyWord, ResOrigin, "
                            "ResReserved, ResPath, ResModule, ParentID, ResKind, ResFlag) "
                            "values(?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
             {uuid, r.memo, r.keywords, r.origin, r.reserved, r.fullPath, r.module, r.parentId,
              r.kind, r.flag});
    return uuid;
}

int registerItem(const QString& type, const QString& title, const QString& memo,
                 const QString& uuid, const QString& resText) {
    if (!registrationAllowed())
        return -1;
    QSqlQuery resource = runQuery(
        hostDatabase(),
        QStringLiteral("select ResPath, ParentID, ResMemo from CV_Resource where ResUUID = ?"),
        {uuid});
    if (!resource.next())
        return -2;
    const QFileInfo source(resource.value(0).toString());
    if (!source.isFile())
        return -3;
    const QString copy = copyIntoProject(source);
    try {
        const int id =
            queryValue(hostDatabase(),
                       QStringLiteral("insert into CV_DataItem(PrjSerial, ResUUID, ItemType, "
                                      "ItemTitle, ItemMemo, ItemFile, ResText, ParentID, "
                                      "CreatedAt) values(?, ?, ?, ?, ?, ?, ?, ?, ?) "
                                      "returning ItemID"),
                       {projectSerial(), uuid, type,
                        title.isEmpty() ? source.completeBaseName() : title,
                        memo.isEmpty() ? resource.value(2).toString() : memo,
                        QFileInfo(copy).fileName(), resText, resource.value(1).toInt(),
                        QDateTime::currentDateTime().toString(Qt::ISODate)})
                .toInt();
        notifyProjectChanged();
        return id;
    } catch (...) {
        QFile::remove(copy);
        throw;
    }
}

QString dataInfo(int itemId) {
    QSqlQuery item = runQuery(hostDatabase(),
                              QStringLiteral("select ItemID, ItemTitle, ItemType, ItemMemo, "
                                             "ResUUID from CV_DataItem "
                                             "where ItemID = ? and PrjSerial = ?"),
                              {itemId, projectSerial()});
    if (!item.next())
        return {};
    QStringList fields;
    for (int i = 0; i < 5; ++i)
        fields << item.value(i).toString();
    return fields.join(QStringLiteral("@&@"));
}

QString dataFileName(int itemId) {
    const QString file = queryValue(hostDatabase(),
                                    QStringLiteral("select ItemFile from CV_DataItem "
                                                   "where ItemID = ? and PrjSerial = ?"),
                                    {itemId, projectSerial()})
                             .toString();
    return file.isEmpty() ? QString() : itemPath(projectSerial(), file);
}

QList<DataItem> projectItems() {
    QList<DataItem> items;
    QSqlQuery query = runQuery(hostDatabase(),
                               QStringLiteral("select ItemID, ItemTitle, ItemType, ItemMemo, "
                                              "ItemFile from CV_DataItem where PrjSerial = ? "
                                              "order by ItemID"),
                               {projectSerial()});
    while (query.next())
        items.append({query.value(0).toInt(), query.value(1).toString(), query.value(2).toString(),
                      query.value(3).toString(),
                      itemPath(projectSerial(), query.value(4).toString())});
    return items;
}

int describeResource(const QString& typeName, const QString& fullPath, QString& resText) {
    if (!registrationAllowed())
        return -1;
    if (!QFileInfo(fullPath).isFile())
        return -2;
    const QString caption =
        queryValue(hostDatabase(),
                   QStringLiteral("select TypeCaption from ZQ_TypeInfo where TypeName = ?"),
                   {typeName})
            .toString();
    resText = caption.isEmpty() ? typeName : caption;
    return 0;
}

QString dataTypeOf(const QString& path) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("doc") || suffix == QLatin1String("docx"))
        return QStringLiteral("WORD");
    if (suffix == QLatin1String("xls") || suffix == QLatin1String("xlsx"))
        return QStringLiteral("EXCEL");
    if (suffix == QLatin1String("pdf"))
        return QStringLiteral("PDF");
    if (suffix == QLatin1String("txt"))
        return QStringLiteral("TEXT");
    QFile file(path);
    if (file.open(QIODevice::ReadOnly) && file.read(5) == "%PDF-")
        return QStringLiteral("PDF");
    return QStringLiteral("OTHER");
}

QString keywordsOf(const QString& name, const QString& classPath) {
    static const QRegularExpression separators(QStringLiteral("[\\s_\\-,;.()，；、。（）]+"));
    QStringList words = name.split(separators, Qt::SkipEmptyParts);
    const QStringList classes = classPath.split(QLatin1Char('\\'), Qt::SkipEmptyParts);
    if (!classes.isEmpty())
        words << classes.last();
    words.removeDuplicates();
    return words.join(QLatin1Char(' '));
}

} // namespace corvane
