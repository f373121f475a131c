#pragma once

#include <QString>

namespace zq {

// Whether the desktop names a program for the kind of the file or folder at the path: its MIME
// type, an alias or a type it derives from, in the user's and the system's mimeapps.list or in
// the installed applications' mimeinfo.cache.
bool desktopCanOpen(const QString& path);

} // namespace zq
