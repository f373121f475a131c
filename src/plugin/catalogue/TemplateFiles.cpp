#include "catalogue/TemplateFiles.h"

#include "catalogue/CatalogueHistory.h"
#include "catalogue/CatalogueNotices.h"
#include "catalogue/FileHashes.h"
#include "catalogue/LocalCopies.h"
#include "catalogue/PostgresWire.h"
#include "catalogue/RecycleBin.h"
#include "catalogue/SearchKeys.h"
#include "catalogue/Sql.h"
#include "catalogue/StoreStaging.h"
#include "catalogue/TemplateStore.h"
#include "catalogue/TemplateVersions.h"
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

enum class Write { Insert, InsertIfAbsent, Upsert };

// Records the file under the stored name: its size and hash, and its bytes where the catalogue
// keeps them.
void writeFileRow(const QSqlDatabase& db, const LocalFile& file, const QString& fileName,
                  Write mode) {
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
                    {fileName.toUtf8(), file.bytes, QByteArray::number(file.bytes.size()),
                     file.sha256.toLatin1(), QByteArray::number(file.modified)},
                    1);
    else // the store's copy is the only one
        runSql(db, sql,
               {fileName, QVariant(QMetaType::fromType<QByteArray>()), qint64(file.bytes.size()),
                file.sha256, file.modified});
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
    // One look-up by key per template of the class: as a join, PostgreSQL hashes the whole file
    // table once a class holds a few hundred templates, a cost that grows with the catalogue.
    QSqlQuery kept =
        runSql(db,
               QStringLiteral("select distinct d.DocFileName from ZQ_DocTempDetail d "
                              "where d.DocSortID = ? and (select 1 from ZQ_DocTemplateFile f "
                              "where f.DocFileName = d.DocFileName and f.FileContent is not null "
                              "limit 1) is not null"),
               {classCode});
    QSet<QString> names;
    while (kept.next())
        names.insert(kept.value(0).toString());
    return names;
}

namespace {

// The folder's file of the stored name; throws for a name that is no bare file name.
QString fileOfFolder(const QString& folder, const QString& fileName) {
    if (!isBareName(fileName))
        throw Error(QStringLiteral("“%1”不是模板文件夹中的文件名。").arg(fileName));
    return withSlash(folder) + fileName;
}

void writeTemplateFile(const QSqlDatabase& db, const QString& folder, const QString& fileName,
                       Write mode) {
    ensureTemplateFileTable(db);
    writeFileRow(db, readLocalFile(fileOfFolder(folder, fileName)), fileName, mode);
}

} // namespace

void insertTemplateFile(const QSqlDatabase& db, const QString& folder, const QString& fileName) {
    writeTemplateFile(db, folder, fileName, Write::Insert);
}

void replaceTemplateFile(const QSqlDatabase& db, const QString& folder, const QString& fileName) {
    writeTemplateFile(db, folder, fileName, Write::Upsert);
}

void replaceTemplateFile(const QSqlDatabase& db, const QString& fileName, const LocalFile& file) {
    ensureTemplateFileTable(db);
    writeFileRow(db, file, fileName, Write::Upsert);
}

namespace {

FileFacts factsOf(const QString& folder, const QString& fileName, const KnownFiles* known) {
    if (known)
        if (std::optional<FileFacts> facts = known->find(fileName))
            return *facts;
    const LocalFile file = readLocalFile(fileOfFolder(folder, fileName));
    return {file.bytes.size(), file.sha256, file.modified};
}

} // namespace

void insertTemplatesWithFiles(const QSqlDatabase& db, const QList<TemplateRecord>& rows,
                              const QString& folder, bool withFiles, const KnownFiles* known) {
    ensureTemplateFileTable(db);
    // The rows added take identifiers above every one there is.
    const qint64 before =
        sqlValue(db, QStringLiteral("select max(DocID) from ZQ_DocTempDetail")).toLongLong();
    const auto writeKeys = [&] { writeSearchKeys(db, QStringLiteral("d.DocID > ?"), {before}); };
    PGconn* pg = postgresConnection(db);
    if (!pg) {
        // Each statement prepared once for the whole batch; an embedded catalogue records the
        // files' size and hash, never their bytes.
        QList<QVariantList> details(6);
        QList<QVariantList> files(5);
        for (const TemplateRecord& row : rows) {
            const QStringList values{row.caption.trimmed(), row.fileName, row.memo.trimmed(),
                                     row.classCode,         row.typeName, row.keyWord};
            for (qsizetype i = 0; i < values.size(); ++i)
                details[i].append(values[i]);
            if (!withFiles)
                continue;
            const FileFacts file = factsOf(folder, row.fileName, known);
            files[0].append(row.fileName);
            files[1].append(QVariant(QMetaType::fromType<QByteArray>()));
            files[2].append(file.size);
            files[3].append(file.sha256);
            files[4].append(file.modified);
        }
        runSqlBatch(db,
                    QStringLiteral("insert into ZQ_DocTempDetail(DocCaption, DocFileName, DocMemo, "
                                   "DocSortID, DocTypeName, DocKeyWord) values(?, ?, ?, ?, ?, ?)"),
                    details);
        writeKeys();
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
    writeKeys();
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
        const LocalFile file = readLocalFile(fileOfFolder(folder, row.fileName));
        fileCopy.row({row.fileName.toUtf8(), file.bytes, bigEndian<qint64>(file.bytes.size()),
                      file.sha256.toLatin1(), bigEndian(file.modified)});
    }
    fileCopy.finish();
}

qint64 addTemplateWithFile(const QSqlDatabase& db, const TemplateRecord& row,
                           const QString& folder) {
    ensureTemplateFileTable(db);
    Transaction transaction(db);
    const qint64 docId = insertTemplate(db, row);
    insertTemplateFile(db, folder, row.fileName);
    recordTemplate(db, HistoryAction::Added, docId);
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
    const qint64 item = keepTemplateInBin(db, docId);
    deleteTemplateRow(db, docId);
    keepVersionsInBin(db, item);
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

bool uploadLocalCopy(const QSqlDatabase& db, const QString& folder, const QString& fileName,
                     const QString& startedFrom, const QByteArray& startedBytes) {
    ensureTemplateFileTable(db);
    const QFileInfo local(withSlash(folder) + fileName);
    if (!isBareName(fileName) || local.isSymLink() || !local.isFile())
        return false;
    // The record read stays true until the bytes are written.
    Transaction transaction(db);
    if (transaction.isPostgres())
        runSql(db,
               QStringLiteral("select 1 from ZQ_DocTemplateFile where DocFileName = ? for update"),
               {fileName});
    const std::optional<StoredFileCheck> stored = storedFileCheck(db, fileName);
    if (stored && matchesStored(local, *stored))
        return false;
    if (stored && stored->kept && !startedFrom.isEmpty() && stored->sha256 != startedFrom)
        throw FileChangedMeanwhile(
            QStringLiteral("模板文件“%1”在您编辑期间已被其他用户修改。").arg(fileName));
    // A template deleted meanwhile is not brought back by its local copy.
    if (!fileNameInUse(db, fileName))
        return false;
    const LocalFile file = readLocalFile(local.absoluteFilePath());
    keepVersions(db, {{fileName, file.sha256, startedBytes}});
    recordFileReplaced(db, fileName);
    writeFileRow(db, file, fileName, Write::Upsert);
    noticeChange(db, ChangeKind::FileChanged, fileName);
    transaction.commit();
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
        writeFileRow(db, readLocalFile(withSlash(folder) + present[i]), present[i],
                     Write::InsertIfAbsent);
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
