#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

namespace zq {

// A template file's earlier bytes ("历史版本"). When new bytes replace a stored file (a local copy
// edited and sent, the data pack, a version restored), the bytes replaced are kept in the
// replacement's transaction, in the catalogue on both engines: the one place every workstation
// of a shared catalogue reaches. ZQ_DocTemplateVersion holds a row per version (the file, its
// SHA-256, size and modified time, when it was replaced and by whom); ZQ_DocVersionContent the
// bytes, once per SHA-256, so that bytes kept again cost no second copy. A version of a file
// deleted into the recycle bin belongs to the bin's item (ItemID, 0 in the catalogue) and leaves
// with it when the bin is emptied. A registration with a project records the SHA-256 of the
// file it registered in ZQ_DocTemplateRegistration, so that the host's tables keep their columns.

struct TemplateVersion {
    qint64 id = 0;
    QString fileName;
    QString sha256;
    qint64 size = 0;
    QDateTime replacedAt; // when newer bytes took its place, and by whom
    QString user;
    QString host;
    bool hasBytes = false;
};

// Creates the tables (the registrations' too) when they are missing.
void ensureVersionTables(const QSqlDatabase& db);

// A stored file about to get new bytes: the SHA-256 of those, and, where the catalogue keeps no
// bytes, the file's bytes as they were (an edited copy's, read before the edit), when known;
// else the store's copy serves while it still holds the recorded bytes.
struct FileReplacement {
    QString fileName;
    QString newSha256;
    QByteArray oldBytes{};
};

// In the replacement's transaction, before the files' records change: keeps what each file's
// record holds as a version, when its new bytes differ. Set-based: a few statements for each
// 400 files.
void keepVersions(const QSqlDatabase& db, const QList<FileReplacement>& files);

// The versions of the template's file, newest first.
QList<TemplateVersion> readVersions(const QSqlDatabase& db, qint64 docId);

// Writes the version's bytes, checked against their hash, to a read-only file of the folder
// named after the stored file and the hash, and gives its path.
QString writeVersionFile(const QSqlDatabase& db, const TemplateVersion& version,
                         const QString& folder);

// Makes the bytes of the template's version with the hash its current file, in one transaction:
// the bytes it replaces are kept as a version, the change goes into the history and out as a
// notice; where the store's file is the only copy, the bytes go back there. False when the file
// holds those bytes already.
bool restoreVersion(const QSqlDatabase& db, qint64 docId, const QString& sha256);

// After the host took the template into the project's data: records the SHA-256 its file has in
// the catalogue, with the project, the host's item and who registered it.
void recordRegistration(const QSqlDatabase& db, qint64 docId, const QString& projectSerial,
                        int dataItemId);

// The serials of the projects the template was registered with, by the SHA-256 registered.
QHash<QString, QStringList> registeredProjects(const QSqlDatabase& db, qint64 docId);

} // namespace zq
