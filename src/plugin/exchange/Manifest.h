#pragma once

#include "catalogue/NodeRecords.h"

#include <QCryptographicHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <memory>

struct _xmlTextWriter; // NOLINT(bugprone-reserved-identifier): libxml2's own name

namespace zq {

// The manifest of a template package: a flat list of class and template elements under one
// root, every value an attribute. Written in the declared encoding gb2312 (characters it lacks
// as character references) and read as GB18030 whatever it declares.
QString manifestFileName();
// Whether a template's stored file name can travel in a package: a bare name other than the
// manifest's.
bool isPackageFileName(const QString& fileName);

// One element. A class keeps its code in classCode, its name in caption and its description in
// memo; a template uses every field but docId, which does not travel.
struct ManifestEntry {
    enum class Kind { Class, Template };
    Kind kind;
    TemplateRecord record;
};

// How reports name an entry: a template by its caption and file name, a class by its name and
// code.
QString templateLabel(const TemplateRecord& record);
QString classLabel(const TemplateRecord& record);

// Writes a manifest one entry at a time, so that a large one need not be held in memory, and
// reads it back when done. Throws zq::Error when the file cannot be made or written, or when
// readManifest would not give the same entries (character references to what XML cannot hold,
// a bound passed).
class ManifestWriter {
public:
    explicit ManifestWriter(const QString& path);
    void add(const ManifestEntry& entry);
    // Closes the root and the file.
    void finish();

private:
    void check(int status) const;

    QString m_path;
    QCryptographicHash m_written{QCryptographicHash::Sha256};
    qsizetype m_count = 0;
    std::unique_ptr<_xmlTextWriter, void (*)(_xmlTextWriter*)> m_writer;
};

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
