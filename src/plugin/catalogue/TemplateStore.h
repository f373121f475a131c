#pragma once

#include <QString>
#include <functional>

namespace zq {

// The folder of the running host executable, with a trailing separator; an installation whose
// program folder is read-only names a writable one in ZQ_HOST_FOLDER.
QString hostFolder();
// Works on the installation in another folder instead (a command-line tool run from elsewhere);
// the empty text goes back to the executable's folder.
void setHostFolder(const QString& folder);
// The flat folder that holds every template file, with a trailing separator.
QString templateStorePath();
// Whether the text names an entry directly inside a folder, on every platform: not empty or
// blank, not "." or "..", and free of '/', '\\', ':', NUL and every other control character.
bool isBareName(const QString& name);
// The stored file of a catalogue row: the full path in the store of its DocFileName, or the
// empty text when that is not a bare name. Such a row has no stored file; every use of a
// row's file (open, delete, edit, register, export) goes through here.
QString storedFilePath(const QString& docFileName);

class StoreStaging;

// Copies the source file into the folder under the first free name of the sequence name.ext,
// name0.ext, name1.ext, ... and returns the full path of the copy. A name is free when the
// folder has no such file and `nameTaken`, when given, says no (a shared catalogue knows names
// that this folder has not seen yet). The copy is made in the staging folder and appears
// whole; a given `staging` (of the same folder) keeps the name in its journal until the caller
// has committed its row. Makes the folder when it is missing; throws when the source cannot be
// copied.
QString copyToStore(const QString& sourcePath, const QString& folder,
                    const std::function<bool(const QString& fileName)>& nameTaken = {},
                    StoreStaging* staging = nullptr);

// The first free name of that sequence for a bare file name in the folder (ending in '/').
QString freeStoredName(const QString& folder, const QString& fileName,
                       const std::function<bool(const QString& fileName)>& nameTaken);

} // namespace zq
