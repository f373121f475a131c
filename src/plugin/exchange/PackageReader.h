#pragma once

#include "exchange/Manifest.h"
#include "exchange/PackageFolders.h"

#include <QSqlDatabase>
#include <QStringList>

namespace zq {

// What an import did.
struct ImportReport {
    int classesAdded = 0;
    int classesPresent = 0;
    int templatesAdded = 0;
    int templatesPresent = 0;
    QStringList refused; // each refused entry with the reason
    QStringList added;   // each added entry

    // A short summary in a few lines; the refusals are listed apart.
    QString summary() const;
};

// Adds the package's classes and templates that the catalogue lacks; what it has stays as it
// is. A class matches by code, a template by stored file name. The package is unpacked by the
// host into the emptied unpack folder; a template's file must be a regular file there under a
// bare name, and is moved into the template store once the rows are committed. One
// transaction; templates go in batches, each in a savepoint, and those of a batch the database
// refuses go again one by one: a refused entry leaves nothing behind. Throws
// PackageError for a missing package, an unpack folder that cannot be made or a failed
// extraction, zq::Error for a manifest that cannot be read, a store without room for the
// package (nothing is catalogued then) or a failure of the database (what was imported before
// it stays).
// A dry run decides every entry the same way, inserting its row to learn whether the database
// takes it, then rolls everything back and puts no file into the store.
enum class ImportMode { Apply, DryRun };
ImportReport importPackage(const QSqlDatabase& db, const QString& packagePath,
                           const PackageProgress& progress = {},
                           ImportMode mode = ImportMode::Apply);

} // namespace zq
