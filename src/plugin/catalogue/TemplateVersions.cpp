#include "catalogue/TemplateVersions.h"

#include "catalogue/CatalogueHistory.h"
#include "catalogue/CatalogueNotices.h"
#include "catalogue/FileHashes.h"
#include "catalogue/LocalCopies.h"
#include "catalogue/Sql.h"
#include "catalogue/StoreStaging.h"
#include "catalogue/TemplateFiles.h"
#include "catalogue/TemplateStore.h"
#include "util/Error.h"
#include "util/FileUtil.h"

#include <QDir>
#include <QFile>
#include <QHash>

namespace zq {

namespace {

// Files named in one statement: two values each, below the 999 bound values of older SQLite.
constexpr qsizetype kFilesPerStatement = 400;

// The files' names and new hashes as the table n(name, sha) of a statement's head.
QString newHashes(const QList<FileReplacement>& files, QVariantList& values) {
    for (const FileReplacement& file : files)
        values << file.fileName << file.newSha256;
    return QStringLiteral("with n(name, sha) as (values %1) ")
        .arg(QStringList(files.size(), QStringLiteral("(?, ?)")).join(QLatin1Char(',')));
}

// The records of the files whose new bytes differ from the recorded ones.
const QString kReplaced = QStringLiteral(" from ZQ_DocTemplateFile f join n on "
                                         "f.DocFileName = n.name where f.FileSha256 <> n.sha");

// Where the store's file is the only copy: the old bytes that match their record and that no
// version holds yet, from the replacement or else the store's copy, each stored once.
void keepStoreBytes(const QSqlDatabase& db, const QList<FileReplacement>& files) {
    QHash<QString, QByteArray> given;
    for (const FileReplacement& file : files)
        if (!file.oldBytes.isNull())
            given.insert(file.fileName, file.oldBytes);
    QVariantList values;
    QSqlQuery replaced =
        runSql(db,
               newHashes(files, values) + QStringLiteral("select f.DocFileName, f.FileSha256") +
                   kReplaced +
                   QStringLiteral(" and not exists (select 1 from ZQ_DocVersionContent c "
                                  "where c.FileSha256 = f.FileSha256)"),
               values);
    QList<QVariantList> content(2);
    while (replaced.next()) {
        const QString name = replaced.value(0).toString();
        const QString sha256 = replaced.value(1).toString();
        QByteArray bytes = given.value(name);
        const QFileInfo copy(storedFilePath(name));
        if (bytes.isNull() && copy.isFile() && !copy.isSymLink())
            bytes = readLocalFile(copy.filePath()).bytes;
        if (bytes.isNull() || sha256Hex(bytes) != sha256 || content[0].contains(sha256))
            continue;
        content[0].append(sha256);
        content[1].append(bytes);
    }
    replaced.finish();
    runSqlBatch(db,
                QStringLiteral("insert into ZQ_DocVersionContent(FileSha256, FileContent) "
                               "values(?, ?) on conflict(FileSha256) do nothing"),
                content);
}

void keepVersionsOf(const QSqlDatabase& db, const QList<FileReplacement>& files) {
    if (keepsFileBytes(db)) {
        QVariantList values;
        runSql(db,
               newHashes(files, values) +
                   QStringLiteral("insert into ZQ_DocVersionContent(FileSha256, FileContent) "
                                  "select f.FileSha256, f.FileContent") +
                   kReplaced +
                   QStringLiteral(" and f.FileContent is not null "
                                  "on conflict(FileSha256) do nothing"),
               values);
    } else {
        keepStoreBytes(db, files);
    }
    QVariantList values;
    const QString head = newHashes(files, values);
    runSql(db,
           head +
               QStringLiteral("insert into ZQ_DocTemplateVersion(ChangedAt, UserName, HostName, "
                              "DocFileName, FileSha256, FileSize) ") +
               selectChangeStamp(db, values) +
               QStringLiteral("f.DocFileName, f.FileSha256, f.FileSize") + kReplaced,
           values);
}

// The kept bytes of the hash, checked against it.
QByteArray versionBytes(const QSqlDatabase& db, const QString& sha256) {
    const QVariant bytes = sqlValue(
        db, QStringLiteral("select FileContent from ZQ_DocVersionContent where FileSha256 = ?"),
        {sha256});
    if (!bytes.isValid())
        throw Error(QStringLiteral("该版本的文件内容已不在模板目录中。"));
    if (sha256Hex(bytes.toByteArray()) != sha256)
        throw Error(QStringLiteral("该版本的文件内容已损坏。"));
    return bytes.toByteArray();
}

} // namespace

void ensureVersionTables(const QSqlDatabase& db) {
    ensureTablesOnce(db, QStringLiteral("ZQ_DocTemplateRegistration"), [&db] {
        const bool pg = isPostgres(db);
        runSql(db, QStringLiteral("create table if not exists ZQ_DocTemplateVersion ("
                                  "VersionID %1, DocFileName varchar(260) not null, "
                                  "FileSha256 varchar(64) not null, FileSize bigint not null, "
                                  "ChangedAt bigint not null, UserName varchar(200) not null, "
                                  "HostName varchar(200) not null, "
                                  "ItemID bigint not null default 0)")
                       .arg(pg ? QStringLiteral("bigserial primary key")
                               : QStringLiteral("integer primary key")));
        for (const char* columns : {"DocFileName, VersionID", "ItemID", "FileSha256"})
            runSql(db, QStringLiteral("create index if not exists ZQ_DocTemplateVersion_%1 on "
                                      "ZQ_DocTemplateVersion(%2)")
                           .arg(QString::fromLatin1(columns).section(QLatin1Char(','), 0, 0),
                                QLatin1String(columns)));
        runSql(db, QStringLiteral("create table if not exists ZQ_DocVersionContent ("
                                  "FileSha256 varchar(64) not null primary key, "
                                  "FileContent %1 not null)")
                       .arg(pg ? QStringLiteral("bytea") : QStringLiteral("blob")));
        runSql(db, QStringLiteral("create table if not exists ZQ_DocTemplateRegistration ("
                                  "RegisteredAt bigint not null, UserName varchar(200) not null, "
                                  "HostName varchar(200) not null, DocID bigint not null, "
                                  "FileSha256 varchar(64) not null, "
                                  "PrjSerial varchar(100) not null, DataItemID bigint not null)"));
        runSql(db, QStringLiteral("create index if not exists ZQ_DocTemplateRegistration_Doc on "
                                  "ZQ_DocTemplateRegistration(DocID)"));
    });
}

void keepVersions(const QSqlDatabase& db, const QList<FileReplacement>& files) {
    ensureVersionTables(db);
    for (qsizetype at = 0; at < files.size(); at += kFilesPerStatement)
        keepVersionsOf(db, files.mid(at, kFilesPerStatement));
}

QList<TemplateVersion> readVersions(const QSqlDatabase& db, qint64 docId) {
    ensureVersionTables(db);
    QSqlQuery query = runSql(
        db,
        QStringLiteral("select v.VersionID, v.DocFileName, v.FileSha256, v.FileSize, v.ChangedAt, "
                       "v.UserName, v.HostName, exists (select 1 from ZQ_DocVersionContent c "
                       "where c.FileSha256 = v.FileSha256) from ZQ_DocTemplateVersion v "
                       "where v.ItemID = 0 and v.DocFileName = (select DocFileName from "
                       "ZQ_DocTempDetail where DocID = ?) order by v.VersionID desc"),
        {docId});
    QList<TemplateVersion> versions;
    while (query.next())
        versions.append({query.value(0).toLongLong(), query.value(1).toString(),
                         query.value(2).toString(), query.value(3).toLongLong(),
                         QDateTime::fromMSecsSinceEpoch(query.value(4).toLongLong()),
                         query.value(5).toString(), query.value(6).toString(),
                         query.value(7).toBool()});
    return versions;
}

QString writeVersionFile(const QSqlDatabase& db, const TemplateVersion& version,
                         const QString& folder) {
    if (!isBareName(version.fileName))
        throw Error(QStringLiteral("“%1”不是模板文件夹中的文件名。").arg(version.fileName));
    const QByteArray bytes = versionBytes(db, version.sha256);
    // The stored name with the hash: each version has a file of its own, of the same kind.
    const QFileInfo stored(version.fileName);
    QString name = stored.completeBaseName() + QLatin1Char('~') + version.sha256.left(12);
    if (!stored.suffix().isEmpty())
        name += QLatin1Char('.') + stored.suffix();
    if (!QDir().mkpath(folder))
        throw Error(QStringLiteral("无法创建文件夹“%1”。").arg(folder));
    const QString path = withSlash(folder) + name;
    // Written anew each time, never through a link put in its place.
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    QFile::remove(path);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly) ||
        file.write(bytes) != bytes.size() || !file.flush())
        throw Error(QStringLiteral("无法写入文件“%1”。").arg(path));
    file.setPermissions(QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
    return path;
}

bool restoreVersion(const QSqlDatabase& db, qint64 docId, const QString& sha256) {
    ensureVersionTables(db);
    return retryOnConflict(db, [&] {
        StoreStaging staging(templateStorePath());
        Transaction transaction(db);
        const QString fileName =
            sqlValue(db, QStringLiteral("select DocFileName from ZQ_DocTempDetail where DocID = ?"),
                     {docId})
                .toString();
        if (!isBareName(fileName))
            throw Error(QStringLiteral("该模板已不存在，可能已被其他用户删除！"));
        // The record read stays true until the bytes are written.
        if (transaction.isPostgres())
            runSql(
                db,
                QStringLiteral("select 1 from ZQ_DocTemplateFile where DocFileName = ? for update"),
                {fileName});
        if (!sqlValue(db,
                      QStringLiteral("select 1 from ZQ_DocTemplateVersion where ItemID = 0 and "
                                     "DocFileName = ? and FileSha256 = ?"),
                      {fileName, sha256})
                 .isValid())
            throw Error(QStringLiteral("模板文件“%1”没有该版本。").arg(fileName));
        const std::optional<StoredFileCheck> stored = storedFileCheck(db, fileName);
        if (stored && stored->sha256 == sha256)
            return false;
        const LocalFile file{versionBytes(db, sha256), sha256, QDateTime::currentMSecsSinceEpoch()};
        keepVersions(db, {{fileName, sha256}});
        recordFileReplaced(db, fileName);
        replaceTemplateFile(db, fileName, file);
        noticeChange(db, ChangeKind::FileChanged, fileName);
        staging.placeAndCommit(
            db, transaction,
            {{staging.stageBytes(file.bytes, QDateTime::fromMSecsSinceEpoch(file.modified)),
              fileName}});
        return true;
    });
}

void recordRegistration(const QSqlDatabase& db, qint64 docId, const QString& projectSerial,
                        int dataItemId) {
    ensureVersionTables(db);
    QVariantList values;
    const QString select = selectChangeStamp(db, values);
    values << projectSerial << dataItemId << docId;
    runSql(
        db,
        QStringLiteral("insert into ZQ_DocTemplateRegistration(RegisteredAt, UserName, HostName, "
                       "FileSha256, PrjSerial, DataItemID, DocID) ") +
            select +
            QStringLiteral("coalesce(f.FileSha256, ''), ?, cast(? as bigint), d.DocID "
                           "from ZQ_DocTempDetail d left join ZQ_DocTemplateFile f "
                           "on f.DocFileName = d.DocFileName where d.DocID = ?"),
        values);
}

QHash<QString, QStringList> registeredProjects(const QSqlDatabase& db, qint64 docId) {
    ensureVersionTables(db);
    QSqlQuery query = runSql(db,
                             QStringLiteral("select distinct FileSha256, PrjSerial "
                                            "from ZQ_DocTemplateRegistration where DocID = ? "
                                            "order by PrjSerial"),
                             {docId});
    QHash<QString, QStringList> projects;
    while (query.next())
        projects[query.value(0).toString()].append(query.value(1).toString());
    return projects;
}

} // namespace zq
