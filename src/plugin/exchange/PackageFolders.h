#pragma once

#include "util/Error.h"

#include <QLockFile>
#include <QSqlDatabase>
#include <QString>
#include <functional>

namespace zq {

// Working folders below the host folder, each with a trailing separator: the package writers
// stage their files in one, the readers unpack into the other.
QString stagingFolder();
QString unpackFolder();

// One of those folders, held by one run: locked, so that two runs (the host and the
// command-line tool, say) never share it; emptied or made, so that nothing an interrupted run
// left behind is used (a link in its place is removed, never followed); removed again at the
// end of the run.
class WorkFolder {
public:
    explicit WorkFolder(const QString& folder);
    ~WorkFolder();
    WorkFolder(const WorkFolder&) = delete;
    WorkFolder& operator=(const WorkFolder&) = delete;

    // False when another running process holds the folder or it cannot be made; problem()
    // then says which.
    bool isReady() const { return m_problem.isEmpty(); }
    const QString& problem() const { return m_problem; }

private:
    QString m_path;
    QLockFile m_lock;
    QString m_problem;
};

// Clears what runs that crashed left behind: the working folders that no running process
// holds, and the template store's staging (see StoreStaging). Run it when a tool starts.
void sweepInterruptedWork(const QSqlDatabase& db);

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

// The stages of package work, each with its own count: entries while files are staged or
// catalogued, bytes while the host packs or unpacks the archive.
enum class PackageStage { Staging, Compressing, Extracting, Cataloguing };

// Called as work moves on: the stage, and done out of total of its count.
using PackageProgress = std::function<void(PackageStage stage, qint64 done, qint64 total)>;

} // namespace zq
