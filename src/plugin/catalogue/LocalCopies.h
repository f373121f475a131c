#pragma once

#include <QFileInfo>
#include <QSet>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <optional>

namespace zq {

// This workstation's copies of the stored files (see TemplateFiles.h): brought up to date from
// the bytes the catalogue keeps whenever a step needs a file.

// Makes the folder's copy of the stored file current and gives its full path: when it is
// missing or differs from the database's (size and SHA-256), the database's bytes are checked
// against their hash and written under a temporary name, then renamed over it. Where the
// catalogue keeps no bytes the folder's copy stands as it is. When the
// database lacks the file, the folder's copy stands as it is if a template row names the file;
// otherwise the template was deleted elsewhere and a copy left here is removed. Gives the empty
// text only for a name that is no bare file name. Throws when the database's bytes do not
// match their hash or the copy cannot be written.
QString ensureLocalCopy(const QSqlDatabase& db, const QString& folder, const QString& fileName);

// ensureLocalCopy for many stored files (an export), with one statement for the database's side
// of each 500 files. A file the database lacks is left as it is. Gives the names whose bytes in
// the database do not match their size and hash and whose copy here differs from them: no sound
// copy could be made, and what is here is left as it is.
QSet<QString> ensureLocalCopies(const QSqlDatabase& db, const QString& folder,
                                const QStringList& fileNames);

// ensureLocalCopy in this installation's template store: the one way every step gets the file
// of a template row.
QString localTemplateFile(const QSqlDatabase& db, const QString& fileName);

// What the catalogue records of a stored file: its size and SHA-256, and whether it keeps the
// bytes.
struct StoredFileCheck {
    qint64 size;
    QString sha256;
    bool kept;
};

// The record of the stored file; nothing when the database lacks it. The query is done with
// before it returns, so the bytes may be read next on the same connection.
std::optional<StoredFileCheck> storedFileCheck(const QSqlDatabase& db, const QString& fileName);

// Whether the local file is a regular file (not a link) of the recorded size and SHA-256.
bool matchesStored(const QFileInfo& local, const StoredFileCheck& stored);

} // namespace zq
