#pragma once

#include <QByteArray>
#include <QFileInfo>
#include <QString>

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

} // namespace zq
