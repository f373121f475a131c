#pragma once

#include "exchange/PackageFolders.h"
#include "exchange/SelectionTree.h"

#include <QSqlDatabase>
#include <QStringList>

namespace zq {

struct PackageResult {
    int templates = 0;   // template files the package holds
    QStringList leftOut; // ticked templates left out, each with the reason
    QStringList altered; // entries written with control characters replaced by spaces
};

// Writes the ticked part of the tree below the root into the package file: the templates'
// stored files (brought up to date from the catalogue first) and the manifest go into the emptied
// staging folder a few hundred entries at a time, the host packs that folder into the file, and
// the staging folder is removed again. Pending templates of ticked classes are read as they are
// reached, so memory does not grow with the catalogue. A ticked template without a sound stored
// file (missing, not a regular file of the store, or bytes in the catalogue that do not match
// their hash) is left out of the manifest and the package and named in the result; a control
// character stored in a text before the text rule goes as a space, and the entry is named too.
// Throws PackageError when the staging folder cannot be made or no package was written,
// zq::Error on any other failure (a manifest that would not read back among them).
PackageResult writePackage(const QSqlDatabase& db, const SelectionNode& root,
                           const QString& packagePath, const PackageProgress& progress = {});

} // namespace zq
