#pragma once

#include "util/Error.h"

#include <QDateTime>
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <optional>

namespace zq {

// The recycle bin ("回收站"): a deleted template or class tree leaves the catalogue's own tables,
// which other programs of the host read, and is kept in the bin's tables with its place and its
// files' bytes until it is restored or the bin is emptied. Each deletion is one item:
// ZQ_DocRecycleItem, with its rows in ZQ_DocRecycleClass, ZQ_DocRecycleTemplate and
// ZQ_DocRecycleFile. Every step is a set-based statement, never one per row.

struct BinItem {
    qint64 id = 0;
    QDateTime deletedAt;
    QString user;
    QString host;
    QString classCode; // the deleted class, or the class the template was filed in
    qint64 docId = 0;  // the deleted template, or 0 for a class tree
    QString name;
    int classes = 0;
    int templates = 0;
};

// Creates the bin's tables when they are missing.
void ensureRecycleBinTables(const QSqlDatabase& db);

// In the caller's transaction, before the rows are deleted from the catalogue: keeps the
// template, or the class tree with every template filed in it, and their files (with their
// bytes: from the catalogue where it keeps them, else from the store) as one item of the bin,
// and records the deletion in the history. Gives the item's id.
qint64 keepTemplateInBin(const QSqlDatabase& db, qint64 docId);
qint64 keepClassTreeInBin(const QSqlDatabase& db, const QString& code);

// After the item's template rows are deleted: the versions of its files that no template names
// any more go with the item.
void keepVersionsInBin(const QSqlDatabase& db, qint64 item);

// Deletes the class tree with its templates into the bin, in one transaction, and the store's
// copies of the files no template names any more. False when there is no such class.
bool deleteClassTree(const QSqlDatabase& db, const QString& code);

// The newest item of the bin holding the template (docId), or else the class tree of the code;
// none when the bin holds neither.
std::optional<qint64> newestBinItemOf(const QSqlDatabase& db, const QString& classCode,
                                      qint64 docId);

// The bin's items, newest first.
QList<BinItem> readBin(const QSqlDatabase& db);

struct BinRestore {
    QString classCode; // where the class tree or template is now
    qint64 docId = 0;
    bool renumbered = false;  // the class took another code than its old one
    QStringList renamedFiles; // "old → new", files whose name was taken meanwhile
    QString summary() const;
};

// Why an item cannot go back to its old place: its code is taken or its class gone. Given a
// class to go into, the restore goes on.
class BinPlaceTaken : public Error {
public:
    using Error::Error;
};

// Puts the item back where it was, in one transaction, and takes it out of the bin. A class whose
// code is taken or whose parent is gone, and a template whose class is gone, go under the class
// `into` (taking its next free code, as a move does); without it the restore fails, saying why.
// A file name taken meanwhile gives the restored file a free name. Never overwrites anything.
BinRestore restoreFromBin(const QSqlDatabase& db, qint64 itemId,
                          const std::optional<QString>& into = std::nullopt);

// Removes every item from the bin with its files' versions, one transaction per item; the only
// way a template's bytes leave the catalogue. Gives the number of items removed.
int emptyBin(const QSqlDatabase& db);

} // namespace zq
