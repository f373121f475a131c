#pragma once

#include <QDateTime>
#include <QList>
#include <QSqlDatabase>
#include <QString>

namespace zq {

// Every change to the catalogue leaves a row in the plug-in's table ZQ_DocTemplateHistory,
// written in the transaction of the change: when (the server's clock on PostgreSQL), who (the
// operating-system user and the workstation), what, and the values before and after. A bulk
// change (a class tree moved or deleted, a package imported) is one row.

enum class HistoryAction {
    Added,
    Renamed,
    Described,
    Moved,
    Deleted,
    Restored,
    FileReplaced,
    PackageImported,
    DataPackImported,
};

// What a change did to one object: a class (docId 0), a template (its DocID, and its class) or
// the whole catalogue (neither).
struct HistoryChange {
    HistoryAction action;
    QString classCode{};
    qint64 docId = 0;
    QString name{};
    QString before{};
    QString after{};
};

struct HistoryEntry {
    qint64 id = 0;
    QDateTime when;
    QString user;
    QString host;
    HistoryChange change;
};

// Which rows a listing shows; an empty or zero field does not filter. Every field has an
// initializer, so that a filter may name only those it sets.
struct HistoryFilter {
    QString classCode{};
    qint64 docId = 0;
    QString user{};
    QDateTime since{};
    QDateTime until{}; // exclusive
};

// Creates the table and its indexes when they are missing. recordChange calls it.
void ensureHistoryTable(const QSqlDatabase& db);

// The time, the user and the workstation as the history records them, as the first three
// columns of a select ("select ..., ?, ?, "); their values are appended to `values`.
QString selectChangeStamp(const QSqlDatabase& db, QVariantList& values);

// Records the change, one statement, in the caller's transaction.
void recordChange(const QSqlDatabase& db, const HistoryChange& change);

// Records a change of the class or template that the row holds now (read by the one statement,
// in the caller's transaction): before a deletion, after a move. Gives the row's HistoryID, or
// 0 when there is no such class or template.
qint64 recordClass(const QSqlDatabase& db, HistoryAction action, const QString& code,
                   const QString& before = {}, const QString& after = {});
qint64 recordTemplate(const QSqlDatabase& db, HistoryAction action, qint64 docId,
                      const QString& before = {}, const QString& after = {});

// Before a class's or template's texts are set: records a rename and a new description, each
// only when it differs from the row's texts, which one statement each reads from the row.
void recordClassTexts(const QSqlDatabase& db, const QString& code, const QString& name,
                      const QString& memo);
void recordTemplateTexts(const QSqlDatabase& db, qint64 docId, const QString& caption,
                         const QString& memo);

// Records a new file under the stored name for every template naming it, one statement.
void recordFileReplaced(const QSqlDatabase& db, const QString& fileName);

// One page of the rows the filter lets through, newest first, older than the row `beforeId`
// (0: from the newest). A window pages on with the last id it was given.
QList<HistoryEntry> readHistory(const QSqlDatabase& db, const HistoryFilter& filter,
                                qint64 beforeId = 0, int limit = 200);

// The action as the person reads it ("重命名"), and as the table and `zqcatalogue log --json`
// spell it ("rename").
QString historyActionName(HistoryAction action);
QString historyActionKey(HistoryAction action);

} // namespace zq
