#include "catalogue/FileHashes.h"
#include "catalogue/TemplateStore.h"

#include "util/Error.h"
#include "util/FileUtil.h"

#include <QFile>
#include <QHash>
#include <openssl/evp.h>
#include <sys/stat.h>

namespace zq {

namespace {

// SHA-256 by the system's crypto library, which uses the processor's hash instructions: on a
// large template an order of magnitude faster than Qt's own.
class Sha256 {
public:
    Sha256()
        : m_context(EVP_MD_CTX_new()) {
        if (!m_context || !EVP_DigestInit_ex(m_context, EVP_sha256(), nullptr))
            throw Error(QStringLiteral("无法计算模板文件的校验值。"));
    }
    ~Sha256() { EVP_MD_CTX_free(m_context); }
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    void add(const QByteArray& bytes) {
        EVP_DigestUpdate(m_context, bytes.constData(), size_t(bytes.size()));
    }
    QByteArray digest() {
        unsigned char digest[EVP_MAX_MD_SIZE];
        unsigned int size = 0;
        EVP_DigestFinal_ex(m_context, digest, &size);
        return QByteArray(reinterpret_cast<const char*>(digest), int(size));
    }
    QString hex() { return QString::fromLatin1(digest().toHex()); }

private:
    EVP_MD_CTX* m_context;
};

} // namespace

QString sha256Hex(const QByteArray& bytes) {
    Sha256 hash;
    hash.add(bytes);
    return hash.hex();
}

namespace {

qint64 modifiedMsecs(const struct stat& status) {
    return qint64(status.st_mtim.tv_sec) * 1000 + status.st_mtim.tv_nsec / 1000000;
}

qint64 modifiedNs(const struct stat& status) {
    return qint64(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec;
}

} // namespace

// Read from the file system itself: QFileInfo gives the time as local time, and the conversion
// reads the time zone file at every call, twice the cost of the stat on a large import.
qint64 modifiedMsecs(const QFileInfo& info) {
    struct stat status {};
    return ::stat(QFile::encodeName(info.filePath()).constData(), &status) == 0
               ? modifiedMsecs(status)
               : 0;
}

namespace {

// The hashes of local copies, by path, valid while the file keeps its size and time, so that
// opening a current copy reads nothing but the file's attributes.
struct CachedHash {
    qint64 size;
    qint64 modified;
    QString sha256;
};

QHash<QString, CachedHash>& hashCache() {
    static QHash<QString, CachedHash> cache;
    return cache;
}

} // namespace

void rememberHash(const QString& path, const QString& sha256) {
    const QFileInfo info(path);
    hashCache().insert(path, {info.size(), modifiedMsecs(info), sha256});
}

QString localHash(const QFileInfo& info) {
    const QString path = info.absoluteFilePath();
    const auto cached = hashCache().constFind(path);
    if (cached != hashCache().cend() && cached->size == info.size() &&
        cached->modified == modifiedMsecs(info))
        return cached->sha256;
    QFile file;
    if (!openRegularFile(file, path))
        return QString();
    Sha256 hash;
    while (!file.atEnd()) {
        const QByteArray chunk = file.read(1 << 20);
        if (chunk.isEmpty())
            return QString();
        hash.add(chunk);
    }
    const QString sha256 = hash.hex();
    rememberHash(path, sha256);
    return sha256;
}

void forgetHash(const QString& path) {
    hashCache().remove(path);
}

LocalFile readLocalFile(const QString& path) {
    QFile file;
    if (!openRegularFile(file, path))
        throw Error(QStringLiteral("无法读取模板文件“%1”：该文件不存在，或不是普通文件（如链接）。")
                        .arg(path));
    struct stat status {};
    LocalFile local{file.readAll(), QString(), 0};
    if (file.error() != QFileDevice::NoError || ::fstat(file.handle(), &status) != 0)
        throw Error(QStringLiteral("无法读取模板文件“%1”：%2").arg(path, file.errorString()));
    local.sha256 = sha256Hex(local.bytes);
    local.modified = modifiedMsecs(status);
    // Only a copy in the store is opened again by its path; an import's unpacked files move.
    if (path.startsWith(templateStorePath()))
        hashCache().insert(path, {qint64(status.st_size), local.modified, local.sha256});
    return local;
}

KnownFiles::KnownFiles(const QString& folder)
    : m_folder(withSlash(folder)) {
}

void KnownFiles::read(const QString& name) {
    QFile file;
    if (!openRegularFile(file, m_folder + name))
        return;
    const QByteArray bytes = file.readAll();
    struct stat status {};
    if (file.error() != QFileDevice::NoError || ::fstat(file.handle(), &status) != 0 ||
        bytes.size() != status.st_size)
        return;
    Sha256 hash;
    hash.add(bytes);
    m_known.insert(
        name, {quint64(status.st_ino), qint64(status.st_size), modifiedNs(status), hash.digest()});
}

std::optional<FileFacts> KnownFiles::find(const QString& name) const {
    const auto known = m_known.constFind(name);
    struct stat status {};
    if (known == m_known.cend() ||
        ::lstat(QFile::encodeName(m_folder + name).constData(), &status) != 0 ||
        !S_ISREG(status.st_mode) || quint64(status.st_ino) != known->inode ||
        qint64(status.st_size) != known->size || modifiedNs(status) != known->modifiedNs)
        return std::nullopt;
    return FileFacts{known->size, QString::fromLatin1(known->sha256.toHex()),
                     modifiedMsecs(status)};
}

} // namespace zq
