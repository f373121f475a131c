#pragma once

// Zip archives through libarchive: entry names in UTF-8 with the UTF-8 flag; names of legacy
// archives without the flag are read as code page 936.

#include <QString>

namespace corvane {

// Packs every regular file of the folder (not its sub-folders or links) under its own name
// and gives the archive's path. Throws std::runtime_error; a failure leaves no archive.
QString compressFolder(const QString& folder, const QString& archivePath);

// Bounds of one extraction: entries in the archive and bytes actually inflated.
struct ExtractLimits {
    qint64 entries = 10000;
    qint64 bytes = qint64(1) << 30;
};

// Unpacks every regular file of the archive directly into the existing folder and gives the
// folder with a trailing '/'. Refuses, leaving the folder as it was, an archive with a link,
// a device, an absolute name, a ".." component, an unsafe or repeated name, or beyond the
// bounds on entries and inflated bytes. Throws std::runtime_error.
QString extractArchive(const QString& archivePath, const QString& folder,
                       const ExtractLimits& limits = {});

} // namespace corvane
