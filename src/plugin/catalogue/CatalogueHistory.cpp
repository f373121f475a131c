#include "catalogue/CatalogueHistory.h"

#include "catalogue/Sql.h"

#include <QSysInfo>
#include <array>

#ifdef Q_OS_UNIX
#include <pwd.h>
#include <unistd.h>
#endif

namespace zq {

namespace {

struct ActionText {
    HistoryAction action;
    const char* key;
    const char* name;
};

constexpr std::array kActions{
    ActionText{HistoryAction::Added, "add", "新增"},
    ActionText{HistoryAction::Renamed, "rename", "重命名"},
    ActionText{HistoryAction::Described, "describe", "修改说明"},
    ActionText{HistoryAction::Moved, "move", "移动"},
    ActionText{HistoryAction::Deleted, "delete", "删除"},
    ActionText{HistoryAction::Restored, "restore", "恢复"},
    ActionText{HistoryAction::FileReplaced, "replace-file", "替换文件"},
    ActionText{HistoryAction::PackageImported, "import", "导入模板包"},
    ActionText{HistoryAction::DataPackImported, "import-datapack", "导入数据包"},
};

const ActionText& textOf(HistoryAction action) {
    for (const ActionText& text : kActions)
        if (text.action == action)
            return text;
    return kActions.front();
}

HistoryAction actionOfKey(const QString& key) {
    for (const ActionText& text : kActions)
        if (key == QLatin1String(text.key))
            return text.action;
    return HistoryAction::Added;
}

const QString kColumns = QStringLiteral("insert into ZQ_DocTemplateHistory(ChangedAt, UserName, "
                                        "HostName, Action, ClassCode, DocID, ObjectName, "
                                        "ValueBefore, ValueAfter) ");

// The account the process runs as; the environment may not say it (a service, a test runner).
QString osUser() {
#ifdef Q_OS_UNIX
    if (const passwd* account = getpwuid(geteuid()))
        return QString::fromLocal8Bit(account->pw_name);
#endif
    return qEnvironmentVariable("USERNAME");
}

// Records one text of a row that is about to change, when it changes.
// The row of the class table or the template table that the key finds.
struct TextRow {
    const char* codeAndDocId; // its class code and DocID, as columns
    const char* tableAndKey;  // "table where key = ?"
};
constexpr TextRow kClassRow{"DocSortID, 0", "ZQ_DocInfoMaster where DocSortID = ?"};
constexpr TextRow kTemplateRow{"DocSortID, DocID", "ZQ_DocTempDetail where DocID = ?"};

// Records the new text of the row's column, when it differs from the row's.
void recordTextOfRow(const QSqlDatabase& db, HistoryAction action, const TextRow& row,
                     const char* column, const QVariant& key, const QString& name,
                     const QString& value) {
    ensureHistoryTable(db);
    QVariantList values;
    const QString select = selectChangeStamp(db, values);
    values << historyActionKey(action) << name.trimmed() << value.trimmed() << key
           << value.trimmed();
    runSql(db,
           kColumns + select +
               QStringLiteral("?, %1, ?, coalesce(%2, ''), ? from %3 and coalesce(%2, '') <> ?")
                   .arg(QLatin1String(row.codeAndDocId), QLatin1String(column),
                        QLatin1String(row.tableAndKey)),
           values);
}

} // namespace

// The time, the user and the workstation, as the first three columns of a select: the time is
// the server's on PostgreSQL (the transaction's start), this machine's on SQLite.
QString selectChangeStamp(const QSqlDatabase& db, QVariantList& values) {
    QString when = QStringLiteral("?");
    if (isPostgres(db))
        when = QStringLiteral("cast(extract(epoch from now()) * 1000 as bigint)");
    else
        values.append(QDateTime::currentMSecsSinceEpoch());
    // Values of a select's list are typed by the casts, not by the columns they go into.
    values.append(osUser());
    values.append(QSysInfo::machineHostName());
    return QStringLiteral("select cast(%1 as bigint), ?, ?, ").arg(when);
}

QString historyActionName(HistoryAction action) {
    return QString::fromUtf8(textOf(action).name);
}

QString historyActionKey(HistoryAction action) {
    return QString::fromLatin1(textOf(action).key);
}

void ensureHistoryTable(const QSqlDatabase& db) {
    ensureTablesOnce(db, QStringLiteral("ZQ_DocTemplateHistory"), [&db] {
        const QString id = isPostgres(db) ? QStringLiteral("bigserial primary key")
                                          : QStringLiteral("integer primary key");
        runSql(db, QStringLiteral("create table if not exists ZQ_DocTemplateHistory ("
                                  "HistoryID %1, ChangedAt bigint not null, "
                                  "UserName varchar(200) not null, "
                                  "HostName varchar(200) not null, "
                                  "Action varchar(20) not null, "
                                  "ClassCode varchar(200) not null default '', "
                                  "DocID bigint not null default 0, "
                                  "ObjectName varchar(1000) not null default '', "
                                  "ValueBefore text not null default '', "
                                  "ValueAfter text not null default '')")
                       .arg(id));
        // Each filter walks its own index newest first and stops at a page.
        for (const char* column : {"ClassCode", "DocID", "UserName", "ChangedAt"})
            runSql(db, QStringLiteral("create index if not exists ZQ_DocTemplateHistory_%1 on "
                                      "ZQ_DocTemplateHistory(%1, HistoryID)")
                           .arg(QLatin1String(column)));
    });
}

void recordChange(const QSqlDatabase& db, const HistoryChange& change) {
    ensureHistoryTable(db);
    QVariantList values;
    const QString select = selectChangeStamp(db, values);
    values << historyActionKey(change.action) << change.classCode << change.docId
           << change.name.trimmed() << change.before << change.after;
    runSql(db, kColumns + select + QStringLiteral("?, ?, cast(? as bigint), ?, ?, ?"), values);
}

namespace {

// Records the change of the one row the select's tail finds; gives its HistoryID or 0.
qint64 recordRow(const QSqlDatabase& db, HistoryAction action, const QString& objectAndTable,
                 const QVariant& key, const QString& before, const QString& after) {
    ensureHistoryTable(db);
    QVariantList values;
    const QString select = selectChangeStamp(db, values);
    values << historyActionKey(action) << before << after << key;
    QSqlQuery query = runSql(
        db, kColumns + select + objectAndTable + QStringLiteral(" returning HistoryID"), values);
    return query.next() ? query.value(0).toLongLong() : 0;
}

} // namespace

qint64 recordClass(const QSqlDatabase& db, HistoryAction action, const QString& code,
                   const QString& before, const QString& after) {
    return recordRow(db, action,
                     QStringLiteral("?, DocSortID, 0, DocSortName, ?, ? from ZQ_DocInfoMaster "
                                    "where DocSortID = ?"),
                     code, before, after);
}

qint64 recordTemplate(const QSqlDatabase& db, HistoryAction action, qint64 docId,
                      const QString& before, const QString& after) {
    return recordRow(db, action,
                     QStringLiteral("?, DocSortID, DocID, DocCaption, ?, ? from ZQ_DocTempDetail "
                                    "where DocID = ?"),
                     docId, before, after);
}

void recordClassTexts(const QSqlDatabase& db, const QString& code, const QString& name,
                      const QString& memo) {
    recordTextOfRow(db, HistoryAction::Renamed, kClassRow, "DocSortName", code, name, name);
    recordTextOfRow(db, HistoryAction::Described, kClassRow, "DocSortMemo", code, name, memo);
}

void recordTemplateTexts(const QSqlDatabase& db, qint64 docId, const QString& caption,
                         const QString& memo) {
    recordTextOfRow(db, HistoryAction::Renamed, kTemplateRow, "DocCaption", docId, caption,
                    caption);
    recordTextOfRow(db, HistoryAction::Described, kTemplateRow, "DocMemo", docId, caption, memo);
}

void recordFileReplaced(const QSqlDatabase& db, const QString& fileName) {
    ensureHistoryTable(db);
    QVariantList values;
    const QString select = selectChangeStamp(db, values);
    values << historyActionKey(HistoryAction::FileReplaced) << fileName;
    runSql(db,
           kColumns + select +
               QStringLiteral("?, DocSortID, DocID, DocCaption, '', DocFileName "
                              "from ZQ_DocTempDetail where DocFileName = ?"),
           values);
}

QList<HistoryEntry> readHistory(const QSqlDatabase& db, const HistoryFilter& filter,
                                qint64 beforeId, int limit) {
    ensureHistoryTable(db);
    QStringList conditions;
    QVariantList values;
    const auto where = [&](const char* condition, const QVariant& value) {
        conditions.append(QLatin1String(condition));
        values.append(value);
    };
    if (!filter.classCode.isEmpty())
        where("ClassCode = ?", filter.classCode);
    if (filter.docId != 0)
        where("DocID = ?", filter.docId);
    if (!filter.user.isEmpty())
        where("UserName = ?", filter.user);
    if (filter.since.isValid())
        where("ChangedAt >= ?", filter.since.toMSecsSinceEpoch());
    if (filter.until.isValid())
        where("ChangedAt < ?", filter.until.toMSecsSinceEpoch());
    if (beforeId > 0)
        where("HistoryID < ?", beforeId);
    values.append(limit);
    QSqlQuery query = runSql(
        db,
        QStringLiteral("select HistoryID, ChangedAt, UserName, HostName, Action, ClassCode, "
                       "DocID, ObjectName, ValueBefore, ValueAfter from ZQ_DocTemplateHistory ") +
            (conditions.isEmpty()
                 ? QString()
                 : QStringLiteral("where ") + conditions.join(QLatin1String(" and ")) +
                       QLatin1Char(' ')) +
            QStringLiteral("order by HistoryID desc limit ?"),
        values);
    QList<HistoryEntry> entries;
    while (query.next()) {
        const auto text = [&query](int column) { return query.value(column).toString(); };
        entries.append({query.value(0).toLongLong(),
                        QDateTime::fromMSecsSinceEpoch(query.value(1).toLongLong()),
                        text(2),
                        text(3),
                        {actionOfKey(text(4)), text(5), query.value(6).toLongLong(), text(7),
                         text(8), text(9)}});
    }
    return entries;
}

} // namespace zq
