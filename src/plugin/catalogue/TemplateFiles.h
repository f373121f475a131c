#pragma once

#include "catalogue/FileHashes.h"
#include "catalogue/LocalCopies.h" // the workstation's copies, part of every file step
#include "catalogue/TemplateDocuments.h"
#include "util/Error.h"

#include <QSet>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <functional>

namespace zq {

// The catalogue records every stored template file (table ZQ_DocTemplateFile, keyed by the
// stored file name) with its size and SHA-256. A catalogue shared by several workstations
// (PostgreSQL) keeps the bytes too: the store folder is this workstation's copy, brought up to
// date from the database whenever a step needs a file, and local changes are sent back. An
// embedded catalogue (SQLite, one workstation) keeps no bytes: the store's file is the only
// copy, so every template lives once on disk. Bytes kept by older embedded catalogues still
// serve until their file is written again.

// Whether files written from now on keep their bytes in the catalogue.
bool keepsFileBytes(const QSqlDatabase& db);

// Creates the table of stored files when it is missing. Every function below calls it.
void ensureTemplateFileTable(const QSqlDatabase& db);

// Whether a stored file name is already used in the catalogue (a file in the database or a
// template row naming it), so that a new stored file may not take it.
bool storedNameTaken(const QSqlDatabase& db, const QString& fileName);

// The stored file names of the class's own templates whose bytes the catalogue keeps, in one
// statement: such a file is not missing, wherever this workstation's copy is.
QSet<QString> keptFileNamesOfClass(const QSqlDatabase& db, const QString& classCode);

// Records the file `fileName` of the store folder (and its bytes, where kept) as a new stored
// file. Call it in the transaction that inserts the template row: when it throws (unreadable
// file, name already in the database, database failure) nothing may be catalogued.
void insertTemplateFile(const QSqlDatabase& db, const QString& folder, const QString& fileName);

// Records the folder's file in place of what is stored under its name (last writer wins). Call it
// in the transaction that inserts or updates the template row, after keepVersions when the file
// had bytes before.
void replaceTemplateFile(const QSqlDatabase& db, const QString& folder, const QString& fileName);
// The same with the file's bytes and facts at hand.
void replaceTemplateFile(const QSqlDatabase& db, const QString& fileName, const LocalFile& file);

class KnownFiles;

// Inserts the template rows, each passed by checkTemplateRow and filed in a class the caller's
// transaction holds (lockExistingClasses), and with `withFiles` their files' bytes from the
// folder, as insertTemplate and insertTemplateFile do. Within the caller's transaction; when it
// throws, roll back what it did. On PostgreSQL the rows, then the bytes, each go in one binary
// COPY, every file read once; the server compresses the bytes with lz4 when it can, for the rest
// of the transaction. On SQLite the facts of the files `known` (of the same folder) has read are
// taken from it instead of reading the files again.
void insertTemplatesWithFiles(const QSqlDatabase& db, const QList<TemplateRecord>& rows,
                              const QString& folder, bool withFiles,
                              const KnownFiles* known = nullptr);

// Inserts the template row and its file's bytes in one transaction; gives the new DocID.
qint64 addTemplateWithFile(const QSqlDatabase& db, const TemplateRecord& row,
                           const QString& folder);

class StoreStaging;

// Adds a template whose file was just copied into the folder's store under a free name: when
// another workstation took that name meanwhile, the copy is renamed to the next free one
// (row.fileName follows, and `staging` journals it) and added under it. The choice and the
// insert are one step.
qint64 addStoredTemplate(const QSqlDatabase& db, TemplateRecord& row, const QString& folder,
                         StoreStaging* staging = nullptr);

// Deletes the template row, and the file's bytes when no other row names the file, in one
// transaction; then the store's copy of a file no longer used. A row whose file name has no
// place in the store loses its row only. True when the file is no longer used.
bool deleteTemplateAndFile(const QSqlDatabase& db, qint64 docId);

// The stored file names whose bytes kept in the database do not match their recorded size and
// SHA-256, by name. Reads every byte the catalogue keeps.
QStringList damagedKeptFiles(const QSqlDatabase& db);

// The SHA-256 of a local file in hex, cached by its size and modification time; empty when it
// cannot be read.
QString localFileSha256(const QString& path);

// The catalogue's bytes of a file changed since those an edit started from; nothing was sent.
class FileChangedMeanwhile : public Error {
public:
    using Error::Error;
};

// Sends the folder's copy to the database when it differs from the database's, keeping the bytes
// it replaces as a version; a link in the folder is never read. True when bytes were sent. Given
// the hash the edit started from, it throws FileChangedMeanwhile rather than overwrite bytes
// another writer kept meanwhile; without it the copy wins. Where the catalogue keeps no bytes,
// the edited copy's bytes from before the edit (`startedBytes`) are the version's.
bool uploadLocalCopy(const QSqlDatabase& db, const QString& folder, const QString& fileName,
                     const QString& startedFrom = QString(),
                     const QByteArray& startedBytes = QByteArray());

// Sends every file of the folder that a template row names and the database lacks; for
// catalogues whose files predate the table. `progress` hears (done, total) after each file.
// Gives the number of files sent.
int uploadMissingFiles(const QSqlDatabase& db, const QString& folder,
                       const std::function<void(int done, int total)>& progress = {});

// uploadMissingFiles once per catalogue and workstation's store, as the manager opens, where the
// catalogue keeps the bytes: a mark
// in the catalogue tells that it was done, so later opens cost nothing that grows with the
// store. Files put into the store behind the catalogue's back later are for
// `zqcatalogue repair`.
int uploadMissingFilesOnce(const QSqlDatabase& db, const QString& folder,
                           const std::function<void(int done, int total)>& progress = {});

} // namespace zq
