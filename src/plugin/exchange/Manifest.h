#pragma once

#include "catalogue/NodeRecords.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace zq {

// The manifest of a template package: a flat list of class and template elements under one
// root, every value an attribute. Written in the declared encoding gb2312 (characters it lacks
// as character references) and read as GB18030 whatever it declares.
QString manifestFileName();

// One element. A class keeps its code in classCode, its name in caption and its description in
// memo; a template uses every field but docId, which does not travel.
struct ManifestEntry {
    enum class Kind { Class, Template };
    Kind kind;
    TemplateRecord record;
};

// Writes the entries and reads them back: throws zq::Error when the file cannot be written or
// readManifest would not give the same entries (character references to what XML cannot hold,
// a bound passed).
void writeManifest(const QString& path, const QList<ManifestEntry>& entries);

// Bounds a manifest must keep to be read.
struct ManifestLimits {
    qint64 bytes = qint64(256) << 20;
    int depth = 16;
    int entries = 500000;
};

struct Manifest {
    QList<ManifestEntry> entries;
    // Elements left out, each with the reason (an element without its key attribute).
    QStringList skipped;
};

// Reads the entries in document order. Elements are taken by exact name, attributes by name;
// anything else is ignored. No network, no DTD, no entity from outside. Throws zq::Error when
// the file cannot be read or parsed or breaks the bounds.
Manifest readManifest(const QString& path, const ManifestLimits& limits = {});

} // namespace zq
