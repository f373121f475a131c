#pragma once

// Zip archives through libarchive: entry names in UTF-8 with the UTF-8 flag.

#include <QString>

namespace corvane {

// Packs every regular file of the folder (not its sub-folders or links) under its own name
// and gives the archive's path. Throws std::runtime_error; a failure leaves no archive.
QString compressFolder(const QString& folder, const QString& archivePath);

// Bounds of one extraction: entries in the archive (a firm's whole catalogue fits), bytes
// actually inflated in all (never more than the target's file system has free, less a reserve),
// and how many times its stored size an entry may inflate once it passes ratioFrom bytes (no
// real document compresses that well).
struct ExtractLimits {
    qint64 entries = 500001;
    qint64 bytes = qint64(64) << 30;
    qint64 ratio = 200;
    qint64 ratioFrom = qint64(1) << 20;
};

// Unpacks every regular file of the archive directly into the existing folder and gives the
// folder with a trailing '/'. Refuses, leaving the folder as it was, an archive with anything
// but files and folders, an absolute name, a ".." component, an unsafe (NUL, control or
// bidirectional control characters) or repeated name, a damaged archive, a file whose name a
// folder of the target holds, or beyond the bounds. Names without the UTF-8 flag are read as
// UTF-8 when they are valid UTF-8, otherwise as code page 936. Staging folders that an
// interrupted extraction left in the folder are removed first. Throws std::runtime_error.
QString extractArchive(const QString& archivePath, const QString& folder,
                       const ExtractLimits& limits = {});

} // namespace corvane
