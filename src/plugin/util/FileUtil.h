#pragma once

#include <QString>
#include <QStringList>

namespace zq {

// Special folders are numbered as the original shell numbers them; 0 and 16 both mean the
// desktop. An unknown number gives the empty text.
QString shellFolderPath(int folder);

// Removes the folder and everything in it, read-only and hidden entries included. A symbolic
// link inside is removed as a link; what it points to is never touched. Reports nothing.
void deleteDirectoryTree(const QString& path);

// Cuts the text at every separator; see the tests for the exact rule on empty pieces.
void splitText(const QString& text, const QString& separator, QStringList& list);

} // namespace zq
