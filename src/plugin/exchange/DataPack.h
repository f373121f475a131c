#pragma once

#include "exchange/Manifest.h"
#include "exchange/SelectionTree.h"

#include <QSqlDatabase>
#include <QStringList>
#include <optional>

namespace zq {

// The catalogue's share of the host's data pack: the package "DocMod.Pck" in the data-pack
// folder below the host's temporary folder, where the host also puts the template files of a
// pack it imports.
QString dataPackFolder();
QString dataPackFile();

// Writes the ticked part of the tree to the data-pack file and gives what the host is told:
// the file's path when it holds a template, "-2" when it holds none. Templates without their
// stored file are left out and not counted. Throws when no package was written.
QString exportDataPack(const QSqlDatabase& db, const SelectionNode& root);

// The entries of a package, read from the unpack folder, which is removed again; entries whose
// file name is not a bare name are left out. Nothing when the package is missing or cannot be
// unpacked. Throws when the manifest cannot be read.
std::optional<QList<ManifestEntry>> readDataPack(const QString& packagePath);

// What a data-pack import catalogued, and what it refused.
struct DataPackReport {
    int classes = 0;
    int templates = 0;
    QStringList refused;
};

// Updates or inserts the entries: a class by its code, a template by its stored file name,
// whose file is taken from the data-pack folder into the store and its bytes into the catalogue. A
// template whose file is not a regular file there is refused. All in one transaction; the files
// replace the stored ones only once it is committed. Throws on any failure, and when every
// template asked for (or, without templates, every class) was refused, leaving catalogue and
// store as they were.
DataPackReport importDataPack(const QSqlDatabase& db, const QList<ManifestEntry>& entries);

} // namespace zq
