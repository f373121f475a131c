#pragma once

// The checks of a zip archive's central directory that libarchive's streaming reader cannot make.

#include <QString>

namespace corvane {

// Reads the zip's central directory, and each entry's local header, before anything is
// inflated: libarchive cuts a name at a NUL byte, so such a name is only seen here. Fails on
// a name with a NUL, more entries than allowed, or a directory it cannot read or whose count
// disagrees with its records (libarchive reads the entries in order, so an entry the
// directory does not count would escape these checks). ZIP64 records are read where a field
// is saturated. Throws std::runtime_error.
void checkZipDirectory(const QString& archivePath, qint64 maxEntries);

} // namespace corvane
