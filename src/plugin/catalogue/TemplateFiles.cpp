#include "catalogue/TemplateFiles.h"

#include "catalogue/FileHashes.h"
#include "catalogue/PostgresWire.h"
#include "catalogue/Sql.h"
#include "catalogue/StoreStaging.h"
#include "catalogue/TemplateStore.h"
#include "util/Error.h"
#include "util/FileUtil.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QSysInfo>

#include <optional>

namespace zq {

namespace {

// Key of the advisory lock that serialises the choice of stored names.
constexpr qint64 kStoredNameLock = 0x5A52;

// The bytes of a regular file, never of what a link points to: the file of any place on the
// machine would travel as a template.
QByteArray readLocalFile(const QString& path) {
    QFile file;
    if (!openRegularFile(file, path))
        throw Error(QStringLiteral("无法读取模板文件“%1”：该文件不存在，或不是普通文件（如链接）。")
                        .arg(path));
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw Error(QStringLiteral("无法读取模板文件“%1”：%2").arg(path, file.errorString()));
    return bytes;
}

enum class Write { Insert, InsertIfAbsent, Upsert };

// Records the local file under the stored name: its size and hash, and its bytes where the
// catalogue keeps them.
void writeFileRow(const QSqlDatabase& db, const QString& path, const QString& fileName,
                  Write mode) {
    const QByteArray bytes = readLocalFile(path);
    const QString sha256 = sha256Hex(bytes);
    const qint64 size = bytes.size();
    const qint64 modified = modifiedMsecs(QFileInfo(path));
    const QString conflict = mode == Write::Insert ? QString()
                             : mode == Write::InsertIfAbsent
                                 ? QStringLiteral(" on conflict(DocFileName) do nothing")
                                 : QStringLiteral(" on conflict(DocFileName) do update set "
                                                  "FileContent = excluded.FileContent, "
                                                  "FileSize = excluded.FileSize, "
                                                  "FileSha256 = excluded.FileSha256, "
                                                  "FileModified = excluded.FileModified");
    const QString sql =
        QStringLiteral("insert into ZQ_DocTemplateFile(DocFileName, FileContent, FileSize, "
                       "FileSha256, FileModified) values(?, ?, ?, ?, ?)") +
        conflict;
    if (PGconn* pg = postgresConnection(db))
        runPostgres(pg, sql,
                    {fileName.toUtf8(), bytes, QByteArray::number(size), sha256.toLatin1(),
                     QByteArray::number(modified)},
                    1);
    else // the store's copy is the only one
        runSql(db, sql,
               {fileName, QVariant(QMetaType::fromType<QByteArray>()), size, sha256, modified});
    rememberHash(path, sha256);
}

struct StoredFile {
    QByteArray content;
    qint64 size;
    QString sha256;
    qint64 modified;
};

struct FileCheck {
    qint64 size;
    QString sha256;
    bool kept; // the catalogue holds the bytes
};

// The size and hash of the database's copy. The query is done with before the bytes are read
// on the same connection.
std::optional<FileCheck> storedCheck(const QSqlDatabase& db, const QString& fileName) {
    QSqlQuery query = runSql(db,
                             QStringLiteral("select FileSize, FileSha256, FileContent is not null "
                                            "from ZQ_DocTemplateFile where DocFileName = ?"),
                             {fileName});
    if (!query.next())
        return std::nullopt;
    return FileCheck{query.value(0).toLongLong(), query.value(1).toString(),
                     query.value(2).toBool()};
}

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

// SQLite catalogues made before their bytes lived in the store alone had the column not null;
// SQLite changes that only by making the table again. The bytes already kept stay.
void allowFilesWithoutBytes(const QSqlDatabase& db, const QString& columns) {
    const bool notNull = sqlValue(db, QStringLiteral("select \"notnull\" from "
                                                     "pragma_table_info('ZQ_DocTemplateFile') "
                                                     "where name = 'FileContent'"))
                             .toBool();
    if (!notNull)
        return;
    Transaction transaction(db);
    runSql(db, QStringLiteral("create table ZQ_DocTemplateFile_new (%1)").arg(columns));
    runSql(db, QStringLiteral("insert into ZQ_DocTemplateFile_new select DocFileName, "
                              "FileContent, FileSize, FileSha256, FileModified "
                              "from ZQ_DocTemplateFile"));
    runSql(db, QStringLiteral("drop table ZQ_DocTemplateFile"));
    runSql(db, QStringLiteral("alter table ZQ_DocTemplateFile_new rename to ZQ_DocTemplateFile"));
    transaction.commit();
}

} // namespace

bool keepsFileBytes(const QSqlDatabase& db) {
    return isPostgres(db);
}

void ensureTemplateFileTable(const QSqlDatabase& db) {
    // Once per database a connection reaches; the statement itself is harmless when repeated.
    static QSet<QString> ensured;
    const QString key = db.connectionName() + QLatin1Char('\n') + db.hostName() +
                        QLatin1Char('\n') + QString::number(db.port()) + QLatin1Char('\n') +
                        db.databaseName();
    if (ensured.contains(key))
        return;
    const QString columns =
        QStringLiteral("DocFileName varchar(260) not null primary key, "
                       "FileContent %1, "
                       "FileSize bigint not null, "
                       "FileSha256 varchar(64) not null, "
                       "FileModified bigint not null")
            .arg(isPostgres(db) ? QStringLiteral("bytea not null") : QStringLiteral("blob"));
    runSql(db, QStringLiteral("create table if not exists ZQ_DocTemplateFile (%1)").arg(columns));
    if (!isPostgres(db))
        allowFilesWithoutBytes(db, columns);
    runSql(db, QStringLiteral("create table if not exists ZQ_DocTemplateSetting ("
                              "SettingName varchar(1000) not null primary key, "
                              "SettingValue varchar(200) not null)"));
    ensured.insert(key);
}

bool storedNameTaken(const QSqlDatabase& db, const QString& fileName) {
    ensureTemplateFileTable(db);
    return sqlValue(db,
                    QStringLiteral("select 1 from ZQ_DocTemplateFile where DocFileName = ? "
                                   "union all "
                                   "select 1 from ZQ_DocTempDetail where DocFileName = ?"),
                    {fileName, fileName})
        .isValid();
}

QSet<QString> keptFileNamesOfClass(const QSqlDatabase& db, const QString& classCode) {
    ensureTemplateFileTable(db);
    QSqlQuery kept =
        runSql(db,
               QStringLiteral("select distinct f.DocFileName from ZQ_DocTemplateFile f "
                              "join ZQ_DocTempDetail d on d.DocFileName = f.DocFileName "
                              "where d.DocSortID = ? and f.FileContent is not null"),
               {classCode});
    QSet<QString> names;
    while (kept.next())
        names.insert(kept.value(0).toString());
    return names;
}

namespace {

void writeTemplateFile(const QSqlDatabase& db, const QString& folder, const QString& fileName,
                       Write mode) {
    ensureTemplateFileTable(db);
    if (!isBareName(fileName))
        throw Error(QStringLiteral("“%1”不是模板文件夹中的文件名。").arg(fileName));
    writeFileRow(db, withSlash(folder) + fileName, fileName, mode);
}

} // namespace

void insertTemplateFile(const QSqlDatabase& db, const QString& folder, const QString& fileName) {
    writeTemplateFile(db, folder, fileName, Write::Insert);
}

void replaceTemplateFile(const QSqlDatabase& db, const QString& folder, const QString& fileName) {
    writeTemplateFile(db, folder, fileName, Write::Upsert);
}

void insertTemplatesWithFiles(const QSqlDatabase& db, const QList<TemplateRecord>& rows,
                              const QString& folder, bool withFiles) {
    ensureTemplateFileTable(db);
    PGconn* pg = postgresConnection(db);
    if (!pg) {
        // Each statement prepared once for the whole batch; an embedded catalogue records the
        // files' size and hash, never their bytes.
        QList<QVariantList> details(6);
        QList<QVariantList> files(5);
        for (const TemplateRecord& row : rows) {
            const QStringList values{row.caption.trimmed(), row.fileName, row.memo.trimmed(),
                                     row.classCode,         row.typeName, row.keyWord};
            // A batch binds a null text as NULL; the columns take the empty text.
            for (qsizetype i = 0; i < values.size(); ++i)
                details[i].append(values[i].isNull() ? QStringLiteral("") : values[i]);
            if (!withFiles)
                continue;
            if (!isBareName(row.fileName))
                throw Error(QStringLiteral("“%1”不是模板文件夹中的文件名。").arg(row.fileName));
            const QString path = withSlash(folder) + row.fileName;
            const QByteArray bytes = readLocalFile(path);
            const QString sha256 = sha256Hex(bytes);
            files[0].append(row.fileName);
            files[1].append(QVariant(QMetaType::fromType<QByteArray>()));
            files[2].append(qint64(bytes.size()));
            files[3].append(sha256);
            files[4].append(modifiedMsecs(QFileInfo(path)));
            rememberHash(path, sha256);
        }
        runSqlBatch(db,
                    QStringLiteral("insert into ZQ_DocTempDetail(DocCaption, DocFileName, DocMemo, "
                                   "DocSortID, DocTypeName, DocKeyWord) values(?, ?, ?, ?, ?, ?)"),
                    details);
        runSqlBatch(db,
                    QStringLiteral("insert into ZQ_DocTemplateFile(DocFileName, FileContent, "
                                   "FileSize, FileSha256, FileModified) values(?, ?, ?, ?, ?)"),
                    files);
        return;
    }
    PostgresCopy rowCopy(pg, QStringLiteral("ZQ_DocTempDetail(DocCaption, DocFileName, DocMemo, "
                                            "DocSortID, DocTypeName, DocKeyWord)"));
    for (const TemplateRecord& row : rows)
        rowCopy.row({row.caption.trimmed().toUtf8(), row.fileName.toUtf8(),
                     row.memo.trimmed().toUtf8(), row.classCode.toUtf8(), row.typeName.toUtf8(),
                     row.keyWord.toUtf8()});
    rowCopy.finish();
    if (!withFiles)
        return;
    // Compressing a document's bytes with pglz keeps the server busy several times longer than
    // lz4 does, where the server has lz4.
    runSql(db, QStringLiteral("select set_config('default_toast_compression', 'lz4', true) "
                              "from pg_settings where name = 'default_toast_compression' "
                              "and 'lz4' = any(enumvals)"));
    PostgresCopy fileCopy(pg, QStringLiteral("ZQ_DocTemplateFile(DocFileName, FileContent, "
                                             "FileSize, FileSha256, FileModified)"));
    for (const TemplateRecord& row : rows) {
        if (!isBareName(row.fileName))
            throw Error(QStringLiteral("“%1”不是模板文件夹中的文件名。").arg(row.fileName));
        const QString path = withSlash(folder) + row.fileName;
        const QByteArray bytes = readLocalFile(path);
        fileCopy.row({row.fileName.toUtf8(), bytes, bigEndian<qint64>(bytes.size()),
                      sha256Hex(bytes).toLatin1(), bigEndian(modifiedMsecs(QFileInfo(path)))});
    }
    fileCopy.finish();
}

qint64 addTemplateWithFile(const QSqlDatabase& db, const TemplateRecord& row,
                           const QString& folder) {
    ensureTemplateFileTable(db);
    Transaction transaction(db);
    const qint64 docId = insertTemplate(db, row);
    insertTemplateFile(db, folder, row.fileName);
    transaction.commit();
    return docId;
}

qint64 addStoredTemplate(const QSqlDatabase& db, TemplateRecord& row, const QString& folder,
                         StoreStaging* staging) {
    ensureTemplateFileTable(db);
    return retryOnConflict(db, [&] {
        Transaction transaction(db);
        // Name choices are serialised, so that a name found free stays free until the insert
        // (SQLite's write lock does as much).
        if (transaction.isPostgres())
            runSql(db, QStringLiteral("select 1 from (select pg_advisory_xact_lock(?)) l"),
                   {kStoredNameLock});
        const auto taken = [&](const QString& name) { return storedNameTaken(db, name); };
        if (taken(row.fileName)) {
            const QString name = freeStoredName(withSlash(folder), row.fileName, taken);
            if (staging)
                staging->expect({name});
            if (!QFile::rename(withSlash(folder) + row.fileName, withSlash(folder) + name))
                throw Error(QStringLiteral("无法写入模板文件“%1”。").arg(withSlash(folder) + name));
            row.fileName = name;
        }
        const qint64 docId = addTemplateWithFile(db, row, folder);
        transaction.commit();
        return docId;
    });
}

bool deleteTemplateAndFile(const QSqlDatabase& db, qint64 docId) {
    ensureTemplateFileTable(db);
    Transaction transaction(db);
    const QString fileName =
        sqlValue(db, QStringLiteral("select DocFileName from ZQ_DocTempDetail where DocID = ?"),
                 {docId})
            .toString();
    deleteTemplateRow(db, docId);
    const bool unused = !fileName.trimmed().isEmpty() && !fileNameInUse(db, fileName);
    if (unused)
        runSql(db, QStringLiteral("delete from ZQ_DocTemplateFile where DocFileName = ?"),
               {fileName});
    transaction.commit();
    const QString path = storedFilePath(fileName);
    if (unused && !path.isEmpty()) {
        QFile::remove(path);
        forgetHash(path);
    }
    return unused;
}

namespace {

bool isCurrent(const QFileInfo& local, const FileCheck& stored) {
    return local.isFile() && !local.isSymLink() && local.size() == stored.size &&
           localHash(local) == stored.sha256;
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

QString ensureLocalCopy(const QSqlDatabase& db, const QString& folder, const QString& fileName) {
    ensureTemplateFileTable(db);
    if (!isBareName(fileName))
        return QString();
    const QString path = withSlash(folder) + fileName;
    const std::optional<FileCheck> stored = storedCheck(db, fileName);
    if (!stored) {
        // Deleted on another workstation: its copy here is offered no more.
        if (!fileNameInUse(db, fileName)) {
            QFile::remove(path);
            forgetHash(path);
        }
        return path;
    }
    if (stored->kept && !isCurrent(QFileInfo(path), *stored) &&
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
        QHash<QString, FileCheck> stored;
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
                !isCurrent(QFileInfo(withSlash(folder) + fileName), *found) &&
                !fetchLocalCopy(db, folder, fileName))
                damaged.insert(fileName);
        }
    }
    return damaged;
}

QStringList damagedKeptFiles(const QSqlDatabase& db) {
    ensureTemplateFileTable(db);
    QStringList damaged;
    if (isPostgres(db)) {
        // Hashed on the server: the bytes never cross the network.
        QSqlQuery query =
            runSql(db, QStringLiteral("select DocFileName from ZQ_DocTemplateFile "
                                      "where FileContent is not null and ("
                                      "length(FileContent) <> FileSize "
                                      "or encode(sha256(FileContent), 'hex') <> FileSha256) "
                                      "order by DocFileName"));
        while (query.next())
            damaged.append(query.value(0).toString());
        return damaged;
    }
    QSqlQuery query = runSql(db, QStringLiteral("select DocFileName, FileContent, FileSize, "
                                                "FileSha256 from ZQ_DocTemplateFile "
                                                "where FileContent is not null "
                                                "order by DocFileName"));
    while (query.next()) {
        const QByteArray bytes = query.value(1).toByteArray();
        if (bytes.size() != query.value(2).toLongLong() ||
            sha256Hex(bytes) != query.value(3).toString())
            damaged.append(query.value(0).toString());
    }
    return damaged;
}

QString localFileSha256(const QString& path) {
    const QFileInfo info(path);
    return info.isFile() ? localHash(info) : QString();
}

QString localTemplateFile(const QSqlDatabase& db, const QString& fileName) {
    return ensureLocalCopy(db, templateStorePath(), fileName);
}

bool uploadLocalCopy(const QSqlDatabase& db, const QString& folder, const QString& fileName) {
    ensureTemplateFileTable(db);
    const QFileInfo local(withSlash(folder) + fileName);
    if (!isBareName(fileName) || local.isSymLink() || !local.isFile())
        return false;
    const std::optional<FileCheck> stored = storedCheck(db, fileName);
    if (stored && stored->size == local.size() && stored->sha256 == localHash(local))
        return false;
    // A template deleted meanwhile is not brought back by its local copy.
    if (!fileNameInUse(db, fileName))
        return false;
    writeFileRow(db, local.absoluteFilePath(), fileName, Write::Upsert);
    return true;
}

int uploadMissingFiles(const QSqlDatabase& db, const QString& folder,
                       const std::function<void(int done, int total)>& progress) {
    ensureTemplateFileTable(db);
    // The folder's names, read at once: a row whose file is nowhere here costs no look at the
    // disk, and a workstation that holds no file asks the database nothing. One that holds a
    // few (fetched as they were opened) asks about those alone, through the file name's index.
    const QStringList names = QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Unsorted);
    if (names.isEmpty())
        return 0;
    const QSet<QString> held(names.cbegin(), names.cend());
    constexpr qsizetype kNamesAsked = 500;
    QString among;
    QVariantList values;
    if (names.size() <= kNamesAsked) {
        among = QStringLiteral(" and d.DocFileName in (%1)").arg(placeholders(names.size()));
        values = QVariantList(names.cbegin(), names.cend());
    }
    QSqlQuery missing = runSql(db,
                               QStringLiteral("select distinct d.DocFileName "
                                              "from ZQ_DocTempDetail d where not exists ("
                                              "select 1 from ZQ_DocTemplateFile f "
                                              "where f.DocFileName = d.DocFileName)") +
                                   among,
                               values);
    QStringList present;
    while (missing.next()) {
        const QString fileName = missing.value(0).toString();
        if (!held.contains(fileName))
            continue;
        const QFileInfo local(withSlash(folder) + fileName);
        // A file this workstation cannot read stays where it is; another may send it.
        if (isBareName(fileName) && local.isFile() && !local.isSymLink() && local.isReadable())
            present.append(fileName);
    }
    missing.finish();
    if (present.isEmpty())
        return 0;
    Transaction transaction(db);
    for (int i = 0; i < present.size(); ++i) {
        // Another workstation may send the same file meanwhile; the first one stays.
        writeFileRow(db, withSlash(folder) + present[i], present[i], Write::InsertIfAbsent);
        if (progress)
            progress(i + 1, int(present.size()));
    }
    transaction.commit();
    return int(present.size());
}

int uploadMissingFilesOnce(const QSqlDatabase& db, const QString& folder,
                           const std::function<void(int done, int total)>& progress) {
    ensureTemplateFileTable(db);
    if (!keepsFileBytes(db))
        return 0;
    // One mark per workstation's store: each holds its own files from before.
    const QString marker = QStringLiteral("StoreFilesUploaded|%1|%2")
                               .arg(QSysInfo::machineHostName(), QDir(folder).absolutePath());
    const QString isSet =
        QStringLiteral("select 1 from ZQ_DocTemplateSetting where SettingName = ?");
    if (sqlValue(db, isSet, {marker}).isValid())
        return 0;
    const int sent = uploadMissingFiles(db, folder, progress);
    try {
        runSql(db,
               QStringLiteral("insert into ZQ_DocTemplateSetting(SettingName, SettingValue) "
                              "values(?, ?)"),
               {marker, QDateTime::currentDateTimeUtc().toString(Qt::ISODate)});
    } catch (const Error&) {
        // Another workstation finished its upload at the same moment.
        if (!sqlValue(db, isSet, {marker}).isValid())
            throw;
    }
    return sent;
}

} // namespace zq
