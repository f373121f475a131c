#pragma once

#include <QString>

namespace zq {

// The folder of the running host executable, with a trailing separator.
QString hostFolder();
// Works on the installation in another folder instead (a command-line tool run from elsewhere);
// the empty text goes back to the executable's folder.
void setHostFolder(const QString& folder);
// The flat folder that holds every template file, with a trailing separator.
QString templateStorePath();
// The full path of a stored template file.
QString storedFilePath(const QString& docFileName);

// Copies the source file into the folder under the first free name of the sequence name.ext,
// name0.ext, name1.ext, ... and returns the full path of the copy. Makes the folder when it is
// missing; throws when the source cannot be copied.
QString copyToStore(const QString& sourcePath, const QString& folder);

} // namespace zq
