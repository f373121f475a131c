#include "catalogue/SearchKeys.h"

#include "catalogue/Pinyin.h"
#include "catalogue/PostgresWire.h"
#include "catalogue/Sql.h"
#include "util/Log.h"

#include <algorithm>

namespace zq {

const QString kSearchKeyTable = QStringLiteral("ZQ_DocSearchKey");
const QString kSearchIndexTable = QStringLiteral("ZQ_DocSearchIndex");

namespace {

// The keys an earlier version made at search time, from whatever it met.
const QString kOldKeyTable = QStringLiteral("ZQ_DocPinyin");
constexpr qint64 kSearchKeyLock = 0x5a515345; // "ZQSE": one workstation makes the keys
constexpr qsizetype kRowsPerWrite = 5000;

struct KeyRows {
    QList<QVariantList> columns = QList<QVariantList>(4); // DocID, caption, spelling, initials
    qsizetype size() const { return columns[0].size(); }
};

KeyRows keysOf(const QSqlDatabase& db, const QString& condition, const QVariantList& values) {
    QSqlQuery found = runSql(db,
                             QStringLiteral("select d.DocID, d.DocCaption from ZQ_DocTempDetail d "
                                            "where ") +
                                 condition,
                             values);
    KeyRows rows;
    while (found.next()) {
        const QString caption = found.value(1).toString();
        const PinyinKeys keys = pinyinKeys(caption);
        rows.columns[0].append(found.value(0).toLongLong());
        rows.columns[1].append(caption);
        rows.columns[2].append(keys.spelling);
        rows.columns[3].append(keys.initials);
    }
    return rows;
}

// Inserts the rows `from` up to `to`: on SQLite one prepared statement run for each row, on
// PostgreSQL one binary COPY.
void insertKeys(const QSqlDatabase& db, const KeyRows& rows, qsizetype from, qsizetype to) {
    PGconn* pg = postgresConnection(db);
    if (!pg) {
        QList<QVariantList> part;
        for (const QVariantList& column : rows.columns)
            part.append(column.mid(from, to - from));
        runSqlBatch(db,
                    QStringLiteral("insert into %1(DocID, DocCaption, Spelling, Initials) "
                                   "values(?, ?, ?, ?)")
                        .arg(kSearchKeyTable),
                    part);
        return;
    }
    PostgresCopy copy(pg,
                      kSearchKeyTable + QStringLiteral("(DocID, DocCaption, Spelling, Initials)"));
    for (qsizetype i = from; i < to; ++i)
        copy.row({bigEndian<qint64>(rows.columns[0][i].toLongLong()),
                  rows.columns[1][i].toString().toUtf8(), rows.columns[2][i].toString().toUtf8(),
                  rows.columns[3][i].toString().toUtf8()});
    copy.finish();
}

void deleteKeys(const QSqlDatabase& db, const QString& condition, const QVariantList& values) {
    runSql(db,
           QStringLiteral("delete from %1 where DocID in (select d.DocID from ZQ_DocTempDetail d "
                          "where %2)")
               .arg(kSearchKeyTable, condition),
           values);
}

void makeKeyTable(const QSqlDatabase& db, const std::function<void(int, int)>& progress) {
    runSql(db, QStringLiteral("create table %1 (DocID %2 not null primary key, "
                              "DocCaption varchar(200) not null, Spelling varchar(2000) not null, "
                              "Initials varchar(2000) not null)")
                   .arg(kSearchKeyTable,
                        isPostgres(db) ? QStringLiteral("bigint") : QStringLiteral("integer")));
    const KeyRows rows = keysOf(db, QStringLiteral("1 = 1"), {});
    if (progress)
        progress(0, int(rows.size()));
    for (qsizetype from = 0; from < rows.size(); from += kRowsPerWrite) {
        const qsizetype to = std::min(rows.size(), from + kRowsPerWrite);
        insertKeys(db, rows, from, to);
        if (progress)
            progress(int(to), int(rows.size()));
    }
    runSql(db, QStringLiteral("drop table if exists %1").arg(kOldKeyTable));
}

// The trigram index. SQLite's FTS5 table takes its text from the key table (external content)
// and follows it by triggers; the keys are only ever inserted and deleted.
void makeSearchIndex(const QSqlDatabase& db) {
    if (isPostgres(db)) {
        runSql(db, QStringLiteral("create extension if not exists pg_trgm"));
        runSql(db, QStringLiteral("create index if not exists %1_Trigrams on %1 using gin ("
                                  "DocCaption gin_trgm_ops, Spelling gin_trgm_ops, "
                                  "Initials gin_trgm_ops)")
                       .arg(kSearchKeyTable));
        return;
    }
    if (searchIndexKept(db))
        return;
    Transaction transaction(db);
    runSql(db, QStringLiteral("create virtual table %1 using fts5(DocCaption, Spelling, Initials, "
                              "content='%2', content_rowid='DocID', tokenize='trigram')")
                   .arg(kSearchIndexTable, kSearchKeyTable));
    runSql(db, QStringLiteral("create trigger %1_Added after insert on %1 begin "
                              "insert into %2(rowid, DocCaption, Spelling, Initials) values("
                              "new.DocID, new.DocCaption, new.Spelling, new.Initials); end")
                   .arg(kSearchKeyTable, kSearchIndexTable));
    runSql(db, QStringLiteral("create trigger %1_Removed after delete on %1 begin "
                              "insert into %2(%2, rowid, DocCaption, Spelling, Initials) values("
                              "'delete', old.DocID, old.DocCaption, old.Spelling, old.Initials); "
                              "end")
                   .arg(kSearchKeyTable, kSearchIndexTable));
    runSql(db, QStringLiteral("insert into %1(%1) values('rebuild')").arg(kSearchIndexTable));
    transaction.commit();
}

} // namespace

bool searchKeysKept(const QSqlDatabase& db) {
    return tableExists(db, kSearchKeyTable);
}

bool searchIndexKept(const QSqlDatabase& db) {
    return !isPostgres(db) && tableExists(db, kSearchIndexTable);
}

QString ensureSearchKeys(const QSqlDatabase& db, const std::function<void(int, int)>& progress) {
    if (!searchKeysKept(db))
        retryOnConflict(db, [&] {
            Transaction transaction(db);
            if (transaction.isPostgres())
                runSql(db, QStringLiteral("select 1 from (select pg_advisory_xact_lock(?)) l"),
                       {kSearchKeyLock});
            // Another workstation may have made them while this one waited.
            if (!searchKeysKept(db))
                makeKeyTable(db, progress);
            transaction.commit();
        });
    try {
        makeSearchIndex(db);
    } catch (const Error& error) {
        const QString message =
            isPostgres(db) ? QStringLiteral("数据库没有允许创建 pg_trgm 扩展，模板查找将逐行比较，"
                                            "模板多时较慢。请数据库管理员在模板目录数据库中执行 "
                                            "create extension pg_trgm。")
                           : QStringLiteral("SQLite 没有 FTS5 的 trigram 分词，模板查找将逐行比较，"
                                            "模板多时较慢。");
        qCWarning(catalogueLog).noquote() << message << error.details();
        return message;
    }
    return {};
}

int writeSearchKeys(const QSqlDatabase& db, const QString& condition, const QVariantList& values) {
    if (!searchKeysKept(db))
        return 0;
    const KeyRows rows = keysOf(db, condition, values);
    if (rows.size() == 0)
        return 0;
    deleteKeys(db, condition, values);
    insertKeys(db, rows, 0, rows.size());
    return int(rows.size());
}

void removeSearchKeys(const QSqlDatabase& db, const QString& condition,
                      const QVariantList& values) {
    if (searchKeysKept(db))
        deleteKeys(db, condition, values);
}

int refreshSearchKeys(const QSqlDatabase& db) {
    if (!searchKeysKept(db))
        return 0;
    Transaction transaction(db);
    runSql(db, QStringLiteral("delete from %1 where not exists (select 1 from ZQ_DocTempDetail d "
                              "where d.DocID = %1.DocID)")
                   .arg(kSearchKeyTable));
    const int made =
        writeSearchKeys(db,
                        QStringLiteral("not exists (select 1 from %1 k where k.DocID = d.DocID "
                                       "and k.DocCaption = d.DocCaption)")
                            .arg(kSearchKeyTable),
                        {});
    transaction.commit();
    return made;
}

} // namespace zq
