#include "catalogue/LocalCopies.h"

#include "catalogue/FileHashes.h"
#include "catalogue/PostgresWire.h"
#include "catalogue/Sql.h"
#include "catalogue/StoreStaging.h"
#include "catalogue/TemplateFiles.h"
#include "catalogue/TemplateStore.h"
#include "util/Error.h"
#include "util/FileUtil.h"

#include <QDateTime>
#include <QFile>
#include <QHash>

namespace zq {

namespace {

struct StoredFile {
    QByteArray content;
    qint64 size;
    QString sha256;
    qint64 modified;
};

std::optional<StoredFile> readFileRow(const QSqlDatabase& db, const QString& fileName) {
    const QString sql = QStringLiteral("select FileContent, FileSize, FileSha256, FileModified "
                                       "from ZQ_DocTemplateFile where DocFileName = ?");
    if (PGconn* pg = postgresConnection(db)) {
        const PostgresResult result = runPostgres(pg, sql, {fileName.toUtf8()});
        if (PQntuples(result.get()) == 0)
            return std::nullopt;
        return StoredFile{
            QByteArray(PQgetvalue(result.get(), 0, 0), PQgetlength(result.get(), 0, 0)),
            binaryBigint(result.get(), 1), QString::fromLatin1(PQgetvalue(result.get(), 0, 2)),
            binaryBigint(result.get(), 3)};
    }
    QSqlQuery query = runSql(db, sql, {fileName});
    if (!query.next())
        return std::nullopt;
    return StoredFile{query.value(0).toByteArray(), query.value(1).toLongLong(),
                      query.value(2).toString(), query.value(3).toLongLong()};
}

// Writes the database's bytes over the folder's copy when they match their size and hash;
// false, the copy left as it is, when they do not.
bool fetchLocalCopy(const QSqlDatabase& db, const QString& folder, const QString& fileName) {
    const std::optional<StoredFile> content = readFileRow(db, fileName);
    if (!content)
        throw Error(QStringLiteral("模板文件“%1”已被其他工作站删除。").arg(fileName));
    const QByteArray& bytes = content->content;
    if (bytes.size() != content->size || sha256Hex(bytes) != content->sha256)
        return false;

    makeStoreFolder(folder);
    const QString path = withSlash(folder) + fileName;
    writeStoreFile(path, bytes, QDateTime::fromMSecsSinceEpoch(content->modified, Qt::UTC));
    rememberHash(path, content->sha256);
    return true;
}

} // namespace

std::optional<StoredFileCheck> storedFileCheck(const QSqlDatabase& db, const QString& fileName) {
    QSqlQuery query = runSql(db,
                             QStringLiteral("select FileSize, FileSha256, FileContent is not null "
                                            "from ZQ_DocTemplateFile where DocFileName = ?"),
                             {fileName});
    if (!query.next())
        return std::nullopt;
    return StoredFileCheck{query.value(0).toLongLong(), query.value(1).toString(),
                           query.value(2).toBool()};
}

bool matchesStored(const QFileInfo& local, const StoredFileCheck& stored) {
    return local.isFile() && !local.isSymLink() && local.size() == stored.size &&
           localHash(local) == stored.sha256;
}

QString ensureLocalCopy(const QSqlDatabase& db, const QString& folder, const QString& fileName) {
    ensureTemplateFileTable(db);
    if (!isBareName(fileName))
        return QString();
    const QString path = withSlash(folder) + fileName;
    const std::optional<StoredFileCheck> stored = storedFileCheck(db, fileName);
    if (!stored) {
        // Deleted on another workstation: its copy here is offered no more.
        if (!fileNameInUse(db, fileName)) {
            QFile::remove(path);
            forgetHash(path);
        }
        return path;
    }
    if (stored->kept && !matchesStored(QFileInfo(path), *stored) &&
        !fetchLocalCopy(db, folder, fileName))
        throw Error(QStringLiteral("数据库中的模板文件“%1”已损坏（大小或校验值不符），"
                                   "没有使用。")
                        .arg(fileName));
    return path;
}

QSet<QString> ensureLocalCopies(const QSqlDatabase& db, const QString& folder,
                                const QStringList& fileNames) {
    ensureTemplateFileTable(db);
    QSet<QString> damaged;
    // The database's side of a few hundred files at a time: neither the whole file table nor
    // a statement per file.
    constexpr qsizetype kNamesPerStatement = 500;
    for (qsizetype at = 0; at < fileNames.size(); at += kNamesPerStatement) {
        const QStringList names = fileNames.mid(at, kNamesPerStatement);
        QHash<QString, StoredFileCheck> stored;
        QSqlQuery query = runSql(db,
                                 QStringLiteral("select DocFileName, FileSize, FileSha256 "
                                                "from ZQ_DocTemplateFile where DocFileName "
                                                "in (%1) and FileContent is not null")
                                     .arg(placeholders(names.size())),
                                 QVariantList(names.cbegin(), names.cend()));
        while (query.next())
            stored.insert(query.value(0).toString(),
                          {query.value(1).toLongLong(), query.value(2).toString(), true});
        for (const QString& fileName : names) {
            const auto found = stored.constFind(fileName);
            if (isBareName(fileName) && found != stored.cend() &&
                !matchesStored(QFileInfo(withSlash(folder) + fileName), *found) &&
                !fetchLocalCopy(db, folder, fileName))
                damaged.insert(fileName);
        }
    }
    return damaged;
}

QString localTemplateFile(const QSqlDatabase& db, const QString& fileName) {
    return ensureLocalCopy(db, templateStorePath(), fileName);
}

} // namespace zq
