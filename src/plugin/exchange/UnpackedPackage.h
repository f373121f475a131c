#pragma once

#include "catalogue/FileHashes.h"
#include "exchange/Manifest.h"
#include "exchange/PackageFolders.h"

#include <QString>
#include <optional>

namespace zq {

// A package the host unpacked into the emptied unpack folder, which is held while the object
// lives and removed after it. Throws PackageError when the package is missing, the folder
// cannot be made or the host would not unpack it (the details then say what a look at the
// package tells). With `learnFiles`, each file is read and hashed as soon as the host has written
// it, while the host goes on unpacking, instead of after.
class UnpackedPackage {
public:
    explicit UnpackedPackage(const QString& packagePath, const PackageProgress& progress = {},
                             bool learnFiles = false);

    // The unpack folder, with a trailing separator.
    const QString& folder() const { return m_folder; }
    // The package's manifest; throws as readManifest.
    Manifest manifest() const;
    // The facts of the files read while the host unpacked them (none without `learnFiles`).
    const KnownFiles& knownFiles() const { return m_known; }

private:
    QString m_folder;
    std::optional<WorkFolder> m_held;
    KnownFiles m_known;
};

} // namespace zq
