#pragma once

// The state of the stand-in host, shared by its executable and its six service libraries:
// the base database, the open project, the remembered parent identifier, the temporary
// folder and the call log.

#include <QJsonArray>
#include <QJsonValue>
#include <QSqlDatabase>
#include <QString>
#include <cstdint>
#include <exception>
#include <functional>

// A host service: C linkage, visible to the plug-in's dlsym.
#define CORVANE_SERVICE extern "C" __attribute__((visibility("default")))

namespace corvane {

// The serial of the project that is open when the host starts without --project.
inline constexpr const char* kDemoProject = "XM2026-001";
// The channel on which the plug-in notifies every change of the catalogue (PostgreSQL).
inline constexpr char kCatalogueChannel[] = "zq_catalogue";

struct HostOptions {
    // A postgresql:// URL, or a SQLite file; empty for <host folder>/Data/corvane.db.
    QString database;
    // The open project's serial; empty for none.
    QString project = QLatin1String(kDemoProject);
    // Where the project store keeps its files; empty for <host folder>/Data/.
    QString dataFolder;
};

// Opens the database (making and seeding a new SQLite file), the temporary folder and the
// project. Throws std::runtime_error when the database cannot be opened or the serial is not
// a bare name.
void startHost(const HostOptions& options);
// Closes the database and removes the temporary folder; call after the plug-in is unloaded.
void stopHost();

// The folder of the running executable, or the one ZQ_HOST_FOLDER names (an installation whose
// program folder is read-only), with a trailing '/'.
QString hostFolder();
QString dataFolder();
// The base connection; it lives from startHost to stopHost.
QSqlDatabase& hostDatabase();
// A temporary folder of this run, with a trailing '/'.
QString tempFolder();

QString projectSerial();
void setProjectSerial(const QString& serial);
// Registration needs an open project other than the test project.
bool registrationAllowed();

int oldParentId();
void setOldParentId(int id);

// Called after the project store changed (the main window refreshes its list).
void setProjectChangedListener(std::function<void()> listener);
void notifyProjectChanged();

// The folder with a trailing '/'.
QString withSlash(QString folder);

// A name that stays inside a folder: not empty, not "." or "..", and without '/', '\\', ':',
// NUL or another control character.
bool isSafeBareName(const QString& name);

// Texts at the C boundary: GB18030 bytes, results malloc'ed and owned by the caller.
QString fromHost(const char* text);
// The GB18030 bytes of a text, as the plug-in reads them.
QByteArray hostBytes(const QString& text);
char* toHost(const QString& text);
// Replaces an out text, freeing its old value; an empty text becomes NULL.
void setOut(char** out, const QString& text);

// Appends one JSON line {"op", "args", "result"[, "error"]} to the file named by
// CORVANE_CALL_LOG, when it is set. Never throws.
void logCall(const char* op, const QJsonArray& args, const QJsonValue& result,
             const QString& error = QString());

// Runs one service at its C door: logs the call and turns any exception into the failure
// result, so nothing unwinds into the caller. The body puts the call's arguments (and its
// outputs) into the array it is given.
template <typename R, typename Body> R serve(const char* op, R failure, Body&& body) noexcept {
    QJsonArray args;
    try {
        R result = body(args);
        logCall(op, args, QJsonValue(result));
        return result;
    } catch (const std::exception& e) {
        logCall(op, args, QJsonValue(failure), QString::fromLocal8Bit(e.what()));
    } catch (...) {
        logCall(op, args, QJsonValue(failure), QStringLiteral("unknown failure"));
    }
    return failure;
}

// The same for a service with a text result: the empty text on failure.
template <typename Body> char* serveText(const char* op, Body&& body) noexcept {
    const QString result = serve(op, QString(), std::forward<Body>(body));
    try {
        return toHost(result);
    } catch (...) {
        return nullptr;
    }
}

} // namespace corvane
