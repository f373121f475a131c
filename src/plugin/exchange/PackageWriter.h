#pragma once

#include "exchange/PackageFolders.h"
#include "exchange/SelectionTree.h"

#include <QSqlDatabase>
#include <QStringList>

namespace zq {

struct PackageResult {
    int templates = 0;   // template files the package holds
    QStringList leftOut; // ticked templates left out, each with the reason
};

// Writes the ticked part of the tree below the root into the package file: the templates'
// stored files (brought up to date from the catalogue first) and the manifest go into the emptied
// staging folder a few hundred entries at a time, the host packs that folder into the file, and
// the staging folder is removed again. Pending templates of ticked classes are read as they are
// reached, so memory does not grow with the catalogue. A ticked template without its stored file is
// left out of the manifest and the package and named in the result. Throws PackageError when the
// staging folder cannot be made or no package was written, zq::Error on any other failure.
PackageResult writePackage(const QSqlDatabase& db, const SelectionNode& root,
                           const QString& packagePath, const PackageProgress& progress = {});

} // namespace zq
