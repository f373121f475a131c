#pragma once

#include "util/Error.h"

#include <QString>
#include <functional>

namespace zq {

// Working folders below the host folder, each with a trailing separator: the package writers
// stage their files in one, the readers unpack into the other.
QString stagingFolder();
QString unpackFolder();

// Empties the folder, or makes it, so that nothing an interrupted run left behind is used;
// a link in its place is removed, never followed. False when the folder cannot be made.
bool prepareWorkFolder(const QString& folder);

// The failures of package work that the windows show with messages of their own.
class PackageError : public Error {
public:
    enum class Kind { MissingPackage, StagingFolder, UnpackFolder, Extraction, Compression };
    PackageError(Kind kind, const QString& message, const QString& details = {})
        : Error(message, details)
        , m_kind(kind) {}
    Kind kind() const { return m_kind; }

private:
    Kind m_kind;
};

// Called as work moves on: done out of total.
using PackageProgress = std::function<void(int done, int total)>;

} // namespace zq
