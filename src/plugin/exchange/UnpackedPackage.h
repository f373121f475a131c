#pragma once

#include "exchange/Manifest.h"
#include "exchange/PackageFolders.h"

#include <QString>
#include <optional>

namespace zq {

// A package the host unpacked into the emptied unpack folder, which is held while the object
// lives and removed after it. Throws PackageError when the package is missing, the folder
// cannot be made or the host would not unpack it (the details then say what a look at the
// package tells).
class UnpackedPackage {
public:
    explicit UnpackedPackage(const QString& packagePath, const PackageProgress& progress = {});

    // The unpack folder, with a trailing separator.
    const QString& folder() const { return m_folder; }
    // The package's manifest; throws as readManifest.
    Manifest manifest() const;

private:
    QString m_folder;
    std::optional<WorkFolder> m_held;
};

} // namespace zq
