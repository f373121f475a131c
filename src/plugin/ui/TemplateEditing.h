#pragma once

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QSqlDatabase>
#include <QString>

class QFileSystemWatcher;
class QWidget;

namespace zq {

// Opening a template's stored file for editing, the same from every window: the file is
// brought up to date from the catalogue, handed to the host's viewer and watched, and a change
// made here goes to the catalogue once its editor has finished writing. When the catalogue's
// copy changed meanwhile the person chooses: theirs as the new bytes, the other's, or theirs
// as a new template beside it.
// The manager keeps one for as long as it is open, so that a file opened from the search is
// still watched after the search closes.
class TemplateEditing : public QObject {
public:
    // Failures of the uploads the watch starts are shown over the window.
    TemplateEditing(QWidget* window, const QSqlDatabase& db);

    // Opens a row's stored file (its full path in the store) in the host's viewer; says so
    // instead when the desktop has no program for the file's kind.
    void open(const QString& storedPath, const QString& title);
    // The local path of a row's stored file, brought up to date from the catalogue. A change
    // made here goes out first, so that it is not taken for an old copy and overwritten.
    QString currentFile(const QString& storedPath);
    // Sends the files opened here that changed since to the catalogue.
    void uploadEdited();

private:
    void tellNoViewer(const QString& path);
    // The catalogue's copy changed since the edit of the file started: asks what to keep; false
    // when undecided.
    bool resolveConflict(const QString& store, const QString& fileName);

    // A file opened here as the catalogue last had it: its hash and, where the store's file is
    // the only copy, its bytes, kept as the version an edit replaces.
    struct InStep {
        QString sha256;
        QByteArray bytes;
    };
    InStep inStep(const QString& path) const;

    QWidget* m_window;
    QSqlDatabase m_db;
    // Stored files opened here, as they were when last in step with the catalogue.
    QHash<QString, InStep> m_opened;
    QFileSystemWatcher* m_watcher;
};

} // namespace zq
