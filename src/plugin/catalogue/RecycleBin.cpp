#include "catalogue/RecycleBin.h"

#include "catalogue/CatalogueHistory.h"
#include "catalogue/CatalogueNotices.h"
#include "catalogue/ClassCatalogue.h"
#include "catalogue/FileHashes.h"
#include "catalogue/SearchKeys.h"
#include "catalogue/Sql.h"
#include "catalogue/StoreStaging.h"
#include "catalogue/TemplateFiles.h"
#include "catalogue/TemplateStore.h"
#include "catalogue/TemplateVersions.h"
#include "util/Error.h"

#include <QFile>
#include <QFileInfo>

namespace zq {

namespace {

const QString kTemplateColumns =
    QStringLiteral("DocID, DocCaption, DocFileName, DocMemo, DocSortID, DocTypeName, DocKeyWord");
const QString kFileColumns =
    QStringLiteral("DocFileName, FileContent, FileSize, FileSha256, FileModified");
const QStringList kItemTables{
    QStringLiteral("ZQ_DocTemplateVersion"), QStringLiteral("ZQ_DocRecycleFile"),
    QStringLiteral("ZQ_DocRecycleTemplate"), QStringLiteral("ZQ_DocRecycleClass"),
    QStringLiteral("ZQ_DocRecycleItem")};

// A new item of the bin for the row that the tail of the select finds; gives its ItemID.
qint64 newItem(const QSqlDatabase& db, qint64 historyId, const QString& objectAndTable,
               const QVariant& key) {
    QSqlQuery query = runSql(db,
                             QStringLiteral("insert into ZQ_DocRecycleItem(HistoryID, ClassCode, "
                                            "DocID, ItemName) select ?, ") +
                                 objectAndTable + QStringLiteral(" returning ItemID"),
                             {historyId, key});
    if (!query.next())
        throw Error(QStringLiteral("数据库没有返回回收站项目的编号。"));
    return query.value(0).toLongLong();
}

// The item's files, with their records where the catalogue has them and their bytes: the
// catalogue's where it keeps them, else the store's. FileSize -1: a file that was nowhere.
void keepFiles(const QSqlDatabase& db, qint64 item) {
    runSql(db,
           QStringLiteral("insert into ZQ_DocRecycleFile(ItemID, %1) "
                          "select ?, t.DocFileName, f.FileContent, coalesce(f.FileSize, -1), "
                          "coalesce(f.FileSha256, ''), coalesce(f.FileModified, 0) "
                          "from (select distinct DocFileName from ZQ_DocRecycleTemplate "
                          "where ItemID = ? and trim(DocFileName) <> '') t "
                          "left join ZQ_DocTemplateFile f on f.DocFileName = t.DocFileName")
               .arg(kFileColumns),
           {item, item});
    QSqlQuery missing = runSql(db,
                               QStringLiteral("select DocFileName from ZQ_DocRecycleFile "
                                              "where ItemID = ? and FileContent is null"),
                               {item});
    QList<QVariantList> columns(6);
    while (missing.next()) {
        const QString fileName = missing.value(0).toString();
        const QFileInfo path(storedFilePath(fileName));
        if (!isBareName(fileName) || !path.isFile() || path.isSymLink())
            continue;
        const LocalFile file = readLocalFile(path.filePath());
        const QVariantList row{
            file.bytes, qint64(file.bytes.size()), file.sha256, file.modified, item, fileName};
        for (qsizetype i = 0; i < row.size(); ++i)
            columns[i].append(row[i]);
    }
    missing.finish();
    if (!columns.front().isEmpty())
        runSqlBatch(db,
                    QStringLiteral("update ZQ_DocRecycleFile set FileContent = ?, FileSize = ?, "
                                   "FileSha256 = ?, FileModified = ? "
                                   "where ItemID = ? and DocFileName = ?"),
                    columns);
}

// The item's files that no template of the catalogue names.
QStringList unusedFiles(const QSqlDatabase& db, qint64 item) {
    const QSet<QString> names = columnValues(
        db,
        QStringLiteral("select r.DocFileName from ZQ_DocRecycleFile r where r.ItemID = ? and "
                       "not exists (select 1 from ZQ_DocTempDetail d "
                       "where d.DocFileName = r.DocFileName)"),
        {item});
    return {names.cbegin(), names.cend()};
}

void removeStoreCopies(const QStringList& fileNames) {
    for (const QString& fileName : fileNames) {
        const QString path = storedFilePath(fileName);
        if (!path.isEmpty() && QFile::remove(path))
            forgetHash(path);
    }
}

// A file name of the item that the catalogue or the store took meanwhile gets a free one, in
// the item's rows; the same bytes under the same name are shared, as they were before.
QStringList renameTakenFiles(const QSqlDatabase& db, qint64 item) {
    QSqlQuery taken = runSql(
        db,
        QStringLiteral("select r.DocFileName, r.FileSha256, "
                       "(select f.FileSha256 from ZQ_DocTemplateFile f "
                       "where f.DocFileName = r.DocFileName), "
                       "(select 1 from ZQ_DocTempDetail d where d.DocFileName = r.DocFileName "
                       "limit 1) from ZQ_DocRecycleFile r where r.ItemID = ?"),
        {item});
    const QString store = templateStorePath();
    const bool storeOnly = !keepsFileBytes(db);
    QList<std::pair<QString, QString>> renames;
    while (taken.next()) {
        const QString name = taken.value(0).toString();
        const bool inCatalogue = !taken.value(2).isNull() || !taken.value(3).isNull();
        if (inCatalogue ? taken.value(2).toString() == taken.value(1).toString()
                        : !(storeOnly && QFileInfo::exists(store + name)))
            continue;
        renames.append({name, freeStoredName(store, name, [&db](const QString& candidate) {
                            return storedNameTaken(db, candidate);
                        })});
    }
    taken.finish();
    QStringList said;
    for (const auto& [from, to] : renames) {
        for (const char* table :
             {"ZQ_DocRecycleFile", "ZQ_DocRecycleTemplate", "ZQ_DocTemplateVersion"})
            runSql(db,
                   QStringLiteral("update %1 set DocFileName = ? where ItemID = ? and "
                                  "DocFileName = ?")
                       .arg(QLatin1String(table)),
                   {to, item, from});
        said.append(QStringLiteral("%1 → %2").arg(from, to));
    }
    return said;
}

struct ItemRow {
    QString classCode;
    qint64 docId = 0;
};

ItemRow readItem(const QSqlDatabase& db, qint64 item) {
    QSqlQuery query = runSql(
        db, QStringLiteral("select ClassCode, DocID from ZQ_DocRecycleItem where ItemID = ?"),
        {item});
    if (!query.next())
        throw Error(QStringLiteral("回收站中已没有该项目，可能已被其他用户恢复或清除。"));
    return {query.value(0).toString(), query.value(1).toLongLong()};
}

// Where a class tree goes back: its old code while that is free under its parent, else the
// next free code under `into`.
QString classPlace(const QSqlDatabase& db, const QString& code, const std::optional<QString>& into,
                   BinRestore& result) {
    const QString parent = parentClassCode(code);
    const bool free =
        (parent.isEmpty() || classExists(db, parent)) &&
        !sqlValue(db, QStringLiteral("select 1 from ZQ_DocInfoMaster where ") + subtreeCondition(),
                  {code.size(), code})
             .isValid();
    if (free) {
        lockChildClassCodes(db, parent);
        return code;
    }
    if (!into)
        throw BinPlaceTaken(
            QStringLiteral("分类编码“%1”已被占用或其上级分类已不存在，请选择恢复到的分类。")
                .arg(code));
    requireClass(db, *into);
    result.renumbered = true;
    return reserveChildClassCode(db, *into);
}

QString templatePlace(const QSqlDatabase& db, const QString& code,
                      const std::optional<QString>& into) {
    if (code.isEmpty() || classExists(db, code)) {
        requireClass(db, code);
        return code;
    }
    if (!into)
        throw BinPlaceTaken(QStringLiteral("模板原来的分类已不存在，请选择恢复到的分类。"));
    requireClass(db, *into);
    return *into;
}

// On SQLite the store's file is the only copy: the bytes go back into the store, each under a
// name the store does not hold (a shared file is there already).
QList<std::pair<QString, QString>> stageFiles(const QSqlDatabase& db, qint64 item,
                                              StoreStaging& staging) {
    QList<std::pair<QString, QString>> files;
    if (keepsFileBytes(db))
        return files;
    QSqlQuery query = runSql(db,
                             QStringLiteral("select DocFileName, FileContent, FileModified "
                                            "from ZQ_DocRecycleFile "
                                            "where ItemID = ? and FileContent is not null"),
                             {item});
    while (query.next()) {
        const QString name = query.value(0).toString();
        if (QFileInfo::exists(staging.store() + name))
            continue;
        files.append(
            {staging.stageBytes(query.value(1).toByteArray(),
                                QDateTime::fromMSecsSinceEpoch(query.value(2).toLongLong())),
             name});
    }
    return files;
}

// Takes the item out of the bin. Its files' versions go back to the catalogue with a restored
// item; else they go too, with the bytes no other version holds.
void deleteItemRows(const QSqlDatabase& db, qint64 item, bool restored) {
    if (restored)
        runSql(db, QStringLiteral("update ZQ_DocTemplateVersion set ItemID = 0 where ItemID = ?"),
               {item});
    else
        runSql(db,
               QStringLiteral("delete from ZQ_DocVersionContent where FileSha256 in (select "
                              "v.FileSha256 from ZQ_DocTemplateVersion v where v.ItemID = ?) and "
                              "not exists (select 1 from ZQ_DocTemplateVersion o where "
                              "o.FileSha256 = ZQ_DocVersionContent.FileSha256 and o.ItemID <> ?)"),
               {item, item});
    for (const QString& table : kItemTables)
        runSql(db, QStringLiteral("delete from %1 where ItemID = ?").arg(table), {item});
}

} // namespace

void ensureRecycleBinTables(const QSqlDatabase& db) {
    ensureTemplateFileTable(db);
    ensureHistoryTable(db);
    ensureVersionTables(db);
    ensureTablesOnce(db, QStringLiteral("ZQ_DocRecycleFile"), [&db] {
        const bool pg = isPostgres(db);
        runSql(db, QStringLiteral("create table if not exists ZQ_DocRecycleItem ("
                                  "ItemID %1, HistoryID bigint not null, "
                                  "ClassCode varchar(200) not null default '', "
                                  "DocID bigint not null default 0, "
                                  "ItemName varchar(1000) not null default '')")
                       .arg(pg ? QStringLiteral("bigserial primary key")
                               : QStringLiteral("integer primary key")));
        runSql(db, QStringLiteral("create table if not exists ZQ_DocRecycleClass ("
                                  "ItemID bigint not null, DocSortID varchar(200) not null, "
                                  "DocSortName varchar(200) not null, "
                                  "DocSortMemo varchar(2000) not null)"));
        runSql(db, QStringLiteral("create table if not exists ZQ_DocRecycleTemplate ("
                                  "ItemID bigint not null, DocID bigint not null, "
                                  "DocCaption varchar(200) not null, "
                                  "DocFileName varchar(260) not null, "
                                  "DocMemo varchar(2000) not null, "
                                  "DocSortID varchar(200) not null, "
                                  "DocTypeName varchar(100) not null, "
                                  "DocKeyWord varchar(500) not null)"));
        runSql(db, QStringLiteral("create table if not exists ZQ_DocRecycleFile ("
                                  "ItemID bigint not null, DocFileName varchar(260) not null, "
                                  "FileContent %1, FileSize bigint not null, "
                                  "FileSha256 varchar(64) not null, "
                                  "FileModified bigint not null)")
                       .arg(pg ? QStringLiteral("bytea") : QStringLiteral("blob")));
        for (const char* table : {"Class", "Template", "File"})
            runSql(db, QStringLiteral("create index if not exists ZQ_DocRecycle%1_Item on "
                                      "ZQ_DocRecycle%1(ItemID)")
                           .arg(QLatin1String(table)));
    });
}

qint64 keepTemplateInBin(const QSqlDatabase& db, qint64 docId) {
    ensureRecycleBinTables(db);
    const qint64 historyId = recordTemplate(db, HistoryAction::Deleted, docId);
    if (historyId == 0)
        throw Error(QStringLiteral("该模板已不存在，可能已被其他用户删除！"));
    const qint64 item = newItem(db, historyId,
                                QStringLiteral("DocSortID, DocID, DocCaption from ZQ_DocTempDetail "
                                               "where DocID = ?"),
                                docId);
    runSql(db,
           QStringLiteral("insert into ZQ_DocRecycleTemplate(ItemID, %1) select ?, %1 "
                          "from ZQ_DocTempDetail where DocID = ?")
               .arg(kTemplateColumns),
           {item, docId});
    keepFiles(db, item);
    return item;
}

qint64 keepClassTreeInBin(const QSqlDatabase& db, const QString& code) {
    ensureRecycleBinTables(db);
    const qint64 historyId = recordClass(db, HistoryAction::Deleted, code);
    if (historyId == 0)
        throw Error(noSuchClassMessage());
    const qint64 item = newItem(db, historyId,
                                QStringLiteral("DocSortID, 0, DocSortName from ZQ_DocInfoMaster "
                                               "where DocSortID = ?"),
                                code);
    runSql(db,
           QStringLiteral("insert into ZQ_DocRecycleClass(ItemID, DocSortID, DocSortName, "
                          "DocSortMemo) select ?, DocSortID, DocSortName, DocSortMemo "
                          "from ZQ_DocInfoMaster where ") +
               subtreeCondition(),
           {item, code.size(), code});
    runSql(db,
           QStringLiteral("insert into ZQ_DocRecycleTemplate(ItemID, %1) select ?, %1 "
                          "from ZQ_DocTempDetail where ")
                   .arg(kTemplateColumns) +
               subtreeCondition(),
           {item, code.size(), code});
    keepFiles(db, item);
    return item;
}

bool deleteClassTree(const QSqlDatabase& db, const QString& code) {
    if (code.isEmpty())
        return false;
    ensureRecycleBinTables(db);
    const std::optional<QStringList> unused =
        retryOnConflict(db, [&]() -> std::optional<QStringList> {
            Transaction transaction(db);
            // In the one order of every writer (see lockClassesFirst).
            if (transaction.isPostgres()) {
                runSql(db, QStringLiteral("lock table ZQ_DocInfoMaster in exclusive mode"));
                runSql(db,
                       QStringLiteral("lock table ZQ_DocTempDetail in share row exclusive mode"));
            }
            if (!classExists(db, code))
                return std::nullopt;
            const qint64 item = keepClassTreeInBin(db, code);
            const QVariantList subtree{code.size(), code};
            removeSearchKeys(db, subtreeCondition(), subtree);
            runSql(db, QStringLiteral("delete from ZQ_DocTempDetail where ") + subtreeCondition(),
                   subtree);
            keepVersionsInBin(db, item);
            runSql(
                db,
                QStringLiteral("delete from ZQ_DocTemplateFile where DocFileName in ("
                               "select r.DocFileName from ZQ_DocRecycleFile r where r.ItemID = ? "
                               "and not exists (select 1 from ZQ_DocTempDetail d "
                               "where d.DocFileName = r.DocFileName))"),
                {item});
            runSql(db, QStringLiteral("delete from ZQ_DocInfoMaster where ") + subtreeCondition(),
                   subtree);
            const QStringList names = unusedFiles(db, item);
            noticeChange(db, ChangeKind::ClassDeleted, code);
            transaction.commit();
            return names;
        });
    if (!unused)
        return false;
    removeStoreCopies(*unused);
    return true;
}

void keepVersionsInBin(const QSqlDatabase& db, qint64 item) {
    runSql(db,
           QStringLiteral("update ZQ_DocTemplateVersion set ItemID = ? where ItemID = 0 and "
                          "DocFileName in (select r.DocFileName from ZQ_DocRecycleFile r "
                          "where r.ItemID = ? and not exists (select 1 from ZQ_DocTempDetail d "
                          "where d.DocFileName = r.DocFileName))"),
           {item, item});
}

std::optional<qint64> newestBinItemOf(const QSqlDatabase& db, const QString& classCode,
                                      qint64 docId) {
    ensureRecycleBinTables(db);
    const QVariant item = docId != 0
                              ? sqlValue(db,
                                         QStringLiteral("select max(ItemID) from ZQ_DocRecycleItem "
                                                        "where DocID = ?"),
                                         {docId})
                              : sqlValue(db,
                                         QStringLiteral("select max(ItemID) from ZQ_DocRecycleItem "
                                                        "where DocID = 0 and ClassCode = ?"),
                                         {classCode});
    return item.isNull() ? std::nullopt : std::optional(item.toLongLong());
}

QList<BinItem> readBin(const QSqlDatabase& db) {
    ensureRecycleBinTables(db);
    QSqlQuery query = runSql(
        db,
        QStringLiteral(
            "select i.ItemID, h.ChangedAt, h.UserName, h.HostName, i.ClassCode, i.DocID, "
            "i.ItemName, (select count(*) from ZQ_DocRecycleClass c where c.ItemID = i.ItemID), "
            "(select count(*) from ZQ_DocRecycleTemplate t where t.ItemID = i.ItemID) "
            "from ZQ_DocRecycleItem i "
            "left join ZQ_DocTemplateHistory h on h.HistoryID = i.HistoryID "
            "order by i.ItemID desc"));
    QList<BinItem> items;
    while (query.next())
        items.append({query.value(0).toLongLong(),
                      QDateTime::fromMSecsSinceEpoch(query.value(1).toLongLong()),
                      query.value(2).toString(), query.value(3).toString(),
                      query.value(4).toString(), query.value(5).toLongLong(),
                      query.value(6).toString(), query.value(7).toInt(), query.value(8).toInt()});
    return items;
}

QString BinRestore::summary() const {
    QString text = docId != 0 ? QStringLiteral("模板已恢复到分类“%1”。").arg(classCode)
                              : QStringLiteral("分类已恢复为“%1”。").arg(classCode);
    if (renumbered)
        text += QStringLiteral("原编码已被占用或上级分类已不存在，已重新编码。");
    if (!renamedFiles.isEmpty())
        text += QStringLiteral("以下文件名已被占用，已改名：") +
                renamedFiles.join(QStringLiteral("，")) + QStringLiteral("。");
    return text;
}

namespace {

// The item's templates back in the catalogue, filed under `code`, with their search keys.
void restoreTemplateRows(const QSqlDatabase& db, qint64 itemId, const QString& code,
                         const QVariantList& codeValues) {
    runSql(db,
           QStringLiteral("insert into ZQ_DocTempDetail(%1) select DocID, DocCaption, "
                          "DocFileName, DocMemo, %2, DocTypeName, DocKeyWord "
                          "from ZQ_DocRecycleTemplate where ItemID = ?")
               .arg(kTemplateColumns, code),
           codeValues + QVariantList{itemId});
    writeSearchKeys(
        db, QStringLiteral("d.DocID in (select DocID from ZQ_DocRecycleTemplate where ItemID = ?)"),
        {itemId});
}

} // namespace

BinRestore restoreFromBin(const QSqlDatabase& db, qint64 itemId,
                          const std::optional<QString>& into) {
    ensureRecycleBinTables(db);
    return retryOnConflict(db, [&] {
        BinRestore result;
        StoreStaging staging(templateStorePath());
        Transaction transaction(db);
        lockClassesFirst(db);
        const ItemRow item = readItem(db, itemId);
        QString code;
        QVariantList codeValues;
        if (item.docId == 0) {
            result.classCode = classPlace(db, item.classCode, into, result);
            // The tree's codes with the new top: a restore in place changes none.
            code =
                QStringLiteral("cast(? as varchar(200)) || substr(DocSortID, cast(? as integer))");
            codeValues = {result.classCode, item.classCode.size() + 1};
            runSql(db,
                   QStringLiteral("insert into ZQ_DocInfoMaster(DocSortID, DocSortName, "
                                  "DocSortMemo) select %1, DocSortName, DocSortMemo "
                                  "from ZQ_DocRecycleClass where ItemID = ?")
                       .arg(code),
                   codeValues + QVariantList{itemId});
        } else {
            result.classCode = templatePlace(db, item.classCode, into);
            result.docId = item.docId;
            code = QStringLiteral("cast(? as varchar(200))");
            codeValues = {result.classCode};
        }
        result.renamedFiles = renameTakenFiles(db, itemId);
        restoreTemplateRows(db, itemId, code, codeValues);
        // A file that was nowhere stays so; where the store's file is the only copy, the bytes
        // go back there, not into the catalogue.
        runSql(db,
               QStringLiteral("insert into ZQ_DocTemplateFile(%1) select DocFileName, %2, "
                              "FileSize, FileSha256, FileModified from ZQ_DocRecycleFile r "
                              "where ItemID = ? and FileSize >= 0 %3 and not exists (select 1 "
                              "from ZQ_DocTemplateFile f where f.DocFileName = r.DocFileName)")
                   .arg(kFileColumns,
                        keepsFileBytes(db) ? QStringLiteral("FileContent") : QStringLiteral("null"),
                        keepsFileBytes(db) ? QStringLiteral("and FileContent is not null")
                                           : QString()),
               {itemId});
        if (item.docId != 0) {
            recordTemplate(db, HistoryAction::Restored, item.docId, {}, result.classCode);
            noticeChange(db, ChangeKind::TemplateAdded, item.docId);
        } else {
            recordClass(db, HistoryAction::Restored, result.classCode, item.classCode,
                        result.classCode);
            noticeChange(db, ChangeKind::ClassAdded, result.classCode);
        }
        const QList<std::pair<QString, QString>> files = stageFiles(db, itemId, staging);
        deleteItemRows(db, itemId, true);
        staging.placeAndCommit(db, transaction, files);
        return result;
    });
}

int emptyBin(const QSqlDatabase& db) {
    ensureRecycleBinTables(db);
    const QSet<QString> items =
        columnValues(db, QStringLiteral("select ItemID from ZQ_DocRecycleItem"));
    for (const QString& item : items) {
        Transaction transaction(db);
        deleteItemRows(db, item.toLongLong(), false);
        transaction.commit();
    }
    return int(items.size());
}

} // namespace zq
