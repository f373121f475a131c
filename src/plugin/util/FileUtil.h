#pragma once

#include <QString>

class QFile;

namespace zq {

// The desktop folder, or the empty text when it does not exist.
QString desktopFolder();

// The folder's path with a trailing separator, whether it had one or not.
QString withSlash(const QString& folder);

// Removes the folder and everything in it, read-only and hidden entries and read-only
// sub-folders included. A symbolic link inside is removed as a link; what it points to is never
// touched, and a link given as the folder (with or without its separator) is left alone.
// Reports nothing.
void deleteDirectoryTree(const QString& path);

// Opens the file for reading only when the path names a regular file itself: never through a
// symbolic link (O_NOFOLLOW, so that a link put in its place meanwhile is not followed either),
// nor a folder or special file. False, the file left closed, otherwise.
bool openRegularFile(QFile& file, const QString& path);

} // namespace zq
