#pragma once

#include <QString>
#include <QStringList>

class QFile;

namespace zq {

// Special folders are numbered as the original shell numbers them; 0 and 16 both mean the
// desktop. An unknown number, or a folder that does not exist, gives the empty text.
QString shellFolderPath(int folder);

// Removes the folder and everything in it, read-only and hidden entries and read-only
// sub-folders included. A symbolic link inside is removed as a link; what it points to is never
// touched, and a link given as the folder (with or without its separator) is left alone.
// Reports nothing.
void deleteDirectoryTree(const QString& path);

// Opens the file for reading only when the path names a regular file itself: never through a
// symbolic link (O_NOFOLLOW, so that a link put in its place meanwhile is not followed either),
// nor a folder or special file. False, the file left closed, otherwise.
bool openRegularFile(QFile& file, const QString& path);

// Cuts the text at every separator; see the tests for the exact rule on empty pieces.
void splitText(const QString& text, const QString& separator, QStringList& list);

} // namespace zq
