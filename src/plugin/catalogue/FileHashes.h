#pragma once

#include <QByteArray>
#include <QFileInfo>
#include <QHash>
#include <QString>
#include <optional>

namespace zq {

// The SHA-256 of the bytes in hex, by the system's crypto library.
QString sha256Hex(const QByteArray& bytes);

qint64 modifiedMsecs(const QFileInfo& info);

// The hashes of local copies, by path, valid while the file keeps its size and time, so that
// opening a current copy reads nothing but the file's attributes.
void rememberHash(const QString& path, const QString& sha256);
void forgetHash(const QString& path);
// The SHA-256 of a regular file, from the cache while the file is unchanged; empty when it
// cannot be read.
QString localHash(const QFileInfo& info);

// A file of the store as the catalogue records it: its bytes, read once from a regular file
// (never from what a link points to), their SHA-256 and its modification time.
struct LocalFile {
    QByteArray bytes;
    QString sha256;
    qint64 modified;
};

// Reads the file and, for a file of the store, remembers its hash. Throws when it is missing, no
// regular file or cannot be read: the file of any place on the machine would otherwise travel as
// a template.
LocalFile readLocalFile(const QString& path);

// What the catalogue records of a file besides its bytes.
struct FileFacts {
    qint64 size;
    QString sha256;
    qint64 modified;
};

// The facts of the files of one folder, read while they were still in the page cache (as soon
// as they were written), each valid while its file keeps its inode, size and time.
class KnownFiles {
public:
    explicit KnownFiles(const QString& folder);
    // Reads the folder's regular file of that name and notes its facts; nothing when it cannot.
    void read(const QString& name);
    // The facts of the folder's file of that name, when they were read and it is unchanged.
    std::optional<FileFacts> find(const QString& name) const;

private:
    struct Known {
        quint64 inode;
        qint64 size;
        qint64 modifiedNs;
        QByteArray sha256; // raw: a third of a hex text's memory on a whole catalogue
    };
    QString m_folder;
    QHash<QString, Known> m_known;
};

} // namespace zq
