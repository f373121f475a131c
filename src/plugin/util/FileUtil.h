#pragma once

#include <QString>
#include <QStringList>

namespace zq {

// Special folders are numbered as the original shell numbers them; 0 and 16 both mean the
// desktop. An unknown number, or a folder that does not exist, gives the empty text.
QString shellFolderPath(int folder);

// Removes the folder and everything in it, read-only and hidden entries and read-only
// sub-folders included. A symbolic link inside is removed as a link; what it points to is never
// touched, and a link given as the folder (with or without its separator) is left alone.
// Reports nothing.
void deleteDirectoryTree(const QString& path);

// Cuts the text at every separator; see the tests for the exact rule on empty pieces.
void splitText(const QString& text, const QString& separator, QStringList& list);

} // namespace zq
