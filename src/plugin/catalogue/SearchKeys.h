#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QVariantList>

#include <functional>

namespace zq {

// The search keys of the templates live in the plug-in's table ZQ_DocSearchKey, one row a
// template: its caption and the caption's pinyin (spelling and initials). Every write of the
// plug-in that adds, renames, imports or deletes templates writes or removes their keys in its
// own transaction, so a search never makes keys. A trigram index over the table finds a text of
// three characters or more without reading every row: FTS5 (ZQ_DocSearchIndex) on SQLite, a
// pg_trgm GIN index on PostgreSQL.
extern const QString kSearchKeyTable;
extern const QString kSearchIndexTable;

// Whether the catalogue keeps keys: the table is made and filled in one transaction, so a
// catalogue that has it has keys for every template the plug-in wrote since.
bool searchKeysKept(const QSqlDatabase& db);

// Whether the SQLite catalogue has its trigram index (PostgreSQL's serves LIKE by itself).
bool searchIndexKept(const QSqlDatabase& db);

// Once per catalogue, outside any transaction: a catalogue without keys gets them for every
// template, `progress` hearing (done, total) as they are written; then the index is made where
// it is missing. Gives a message for the administrator when the index cannot be made (the
// search then reads every row), otherwise the empty text.
QString ensureSearchKeys(const QSqlDatabase& db,
                         const std::function<void(int done, int total)>& progress = {});

// The keys of the templates of ZQ_DocTempDetail d that meet the condition, made anew from their
// captions; nothing where the catalogue keeps no keys. Gives their number.
int writeSearchKeys(const QSqlDatabase& db, const QString& condition, const QVariantList& values);

// Takes away the keys of the templates of ZQ_DocTempDetail d that meet the condition, before
// the templates go.
void removeSearchKeys(const QSqlDatabase& db, const QString& condition, const QVariantList& values);

// Makes the keys of every template that lacks them or whose caption changed since they were
// made (by a program that writes the catalogue without them); gives their number. Nothing
// where the catalogue keeps no keys.
int refreshSearchKeys(const QSqlDatabase& db);

} // namespace zq
