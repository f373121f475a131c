#include "Archive.h"

#include "HostCore.h"
#include "ZipDirectory.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QStorageInfo>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <algorithm>
#include <archive.h>
#include <archive_entry.h>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <limits>
#include <locale.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace corvane {

namespace {

constexpr qsizetype kBlock = qsizetype(64) * 1024;

// libarchive converts entry names by the thread's locale: UTF-8 while it works.
class Utf8Locale {
public:
    Utf8Locale()
        : m_locale(newlocale(LC_ALL_MASK, "C.UTF-8", locale_t(nullptr)))
        , m_previous(m_locale ? uselocale(m_locale) : locale_t(nullptr)) {}
    ~Utf8Locale() {
        if (m_locale) {
            uselocale(m_previous);
            freelocale(m_locale);
        }
    }
    Utf8Locale(const Utf8Locale&) = delete;
    Utf8Locale& operator=(const Utf8Locale&) = delete;

private:
    locale_t m_locale;
    locale_t m_previous;
};

[[noreturn]] void fail(const QString& message) {
    throw std::runtime_error(message.toStdString());
}

void check(archive* a, int status) {
    if (status < ARCHIVE_WARN)
        fail(QString::fromLocal8Bit(archive_error_string(a)));
}

struct Writer {
    archive* a = archive_write_new();
    ~Writer() { archive_write_free(a); }
};

struct Reader {
    archive* a = archive_read_new();
    ~Reader() { archive_read_free(a); }
};

struct Entry {
    archive_entry* e = archive_entry_new();
    ~Entry() { archive_entry_free(e); }
};

// Unicode controls that make a name read differently from what it is.
bool isBidiControl(QChar c) {
    const char16_t u = c.unicode();
    return u == 0x061C || u == 0x200E || u == 0x200F || (u >= 0x202A && u <= 0x202E) ||
           (u >= 0x2066 && u <= 0x2069);
}

// The file's name within the flat target folder: the last component of a relative path
// without "..", when that is a safe bare name; empty otherwise.
QString flatName(const QString& path) {
    static const QRegularExpression separators(QStringLiteral("[/\\\\]"));
    if (path.isEmpty() || path.startsWith(QLatin1Char('/')) || path.startsWith(QLatin1Char('\\')) ||
        (path.size() > 1 && path[1] == QLatin1Char(':')) ||
        std::any_of(path.begin(), path.end(), isBidiControl))
        return {};
    const QStringList parts = path.split(separators, Qt::SkipEmptyParts);
    if (parts.isEmpty() || parts.contains(QStringLiteral("..")))
        return {};
    return isSafeBareName(parts.last()) ? parts.last() : QString();
}

// Zip containers (.docx, .xlsx, ...) and compressed images and streams: a second deflate only
// costs time, so they are stored as they are, as zip -n does.
bool alreadyCompressed(const QFileInfo& file) {
    static const QSet<QString> suffixes{
        QStringLiteral("docx"), QStringLiteral("xlsx"), QStringLiteral("pptx"),
        QStringLiteral("docm"), QStringLiteral("xlsm"), QStringLiteral("zip"),
        QStringLiteral("rar"),  QStringLiteral("7z"),   QStringLiteral("gz"),
        QStringLiteral("bz2"),  QStringLiteral("xz"),   QStringLiteral("jpg"),
        QStringLiteral("jpeg"), QStringLiteral("png"),  QStringLiteral("gif")};
    return suffixes.contains(file.suffix().toLower());
}

// An entry name as stored: UTF-8 when it is valid UTF-8 (flagged or written by a tool that
// does not flag it), otherwise code page 936 as Chinese Windows writes it.
QString entryName(archive_entry* entry) {
    const QByteArray raw(archive_entry_pathname(entry) ? archive_entry_pathname(entry) : "");
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString name = utf8.decode(raw);
    return utf8.hasError() ? QStringDecoder("GB18030").decode(raw) : name;
}

// A staging folder is named after the process that made it; one whose process is gone was
// left by an interrupted extraction.
const QString kStagingPrefix = QStringLiteral(".corvane-unpack-");

// Removes the staging folders whose process is gone; tells whether the folder holds nothing
// but staging folders.
bool removeStaleStaging(const QString& target) {
    const QStringList entries = QDir(target).entryList(QDir::AllEntries | QDir::Hidden |
                                                       QDir::System | QDir::NoDotAndDotDot);
    bool onlyStaging = true;
    for (const QString& entry : entries) {
        if (!entry.startsWith(kStagingPrefix)) {
            onlyStaging = false;
            continue;
        }
        bool numbered = false;
        const qint64 pid =
            entry.mid(kStagingPrefix.size()).section(QLatin1Char('-'), 0, 0).toLongLong(&numbered);
        if (numbered && pid > 0 && (::kill(pid_t(pid), 0) == 0 || errno != ESRCH))
            continue;
        const QFileInfo info(target + entry);
        if (info.isDir() && !info.isSymLink())
            QDir(info.filePath()).removeRecursively();
        else
            QFile::remove(info.filePath());
    }
    return onlyStaging;
}

void writeFileEntry(archive* a, const QFileInfo& file) {
    QFile source(file.absoluteFilePath());
    if (!source.open(QIODevice::ReadOnly))
        fail(source.errorString());
    check(a, alreadyCompressed(file) ? archive_write_zip_set_compression_store(a)
                                     : archive_write_zip_set_compression_deflate(a));
    Entry entry;
    archive_entry_set_pathname_utf8(entry.e, file.fileName().toUtf8().constData());
    archive_entry_set_filetype(entry.e, AE_IFREG);
    archive_entry_set_perm(entry.e, 0644);
    archive_entry_set_size(entry.e, source.size());
    archive_entry_set_mtime(entry.e, file.lastModified().toSecsSinceEpoch(), 0);
    check(a, archive_write_header(a, entry.e));
    while (!source.atEnd()) {
        const QByteArray block = source.read(kBlock);
        if (block.isEmpty() || archive_write_data(a, block.constData(), block.size()) < 0)
            fail(QString::fromLocal8Bit(archive_error_string(a)));
    }
}

// Closes a descriptor as it goes out of scope.
class Fd {
public:
    explicit Fd(int fd)
        : m_fd(fd) {}
    ~Fd() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

int openFolder(const QString& folder) {
    const int fd = ::open(QFile::encodeName(folder), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        fail(QStringLiteral("cannot unpack into %1").arg(folder));
    return fd;
}

// Inflates the current entry into the open file. Stops as soon as the entry inflates beyond the
// ratio allowed to what it occupies in the archive, or the extraction beyond its bytes.
void inflateEntry(archive* a, int fd, const QString& name, qint64& bytes,
                  const ExtractLimits& limits) {
    const la_int64_t start = archive_filter_bytes(a, -1);
    qint64 entryBytes = 0;
    QByteArray block(kBlock, Qt::Uninitialized);
    for (;;) {
        const la_ssize_t n = archive_read_data(a, block.data(), block.size());
        if (n < 0)
            fail(QString::fromLocal8Bit(archive_error_string(a)));
        if (n == 0)
            break;
        bytes += n;
        entryBytes += n;
        if (bytes > limits.bytes)
            fail(QStringLiteral("the archive inflates beyond %1 bytes").arg(limits.bytes));
        const qint64 stored = std::max<qint64>(1, archive_filter_bytes(a, -1) - start);
        if (entryBytes > limits.ratioFrom && entryBytes / stored >= limits.ratio)
            fail(QStringLiteral("entry %1 inflates more than %2 times its size")
                     .arg(name)
                     .arg(limits.ratio));
        for (la_ssize_t done = 0; done < n;) {
            const ssize_t written = ::write(fd, block.constData() + done, size_t(n - done));
            if (written < 0 && errno != EINTR)
                fail(QStringLiteral("cannot write %1: %2").arg(name, qt_error_string(errno)));
            done += std::max<ssize_t>(written, 0);
        }
    }
}

} // namespace

QString compressFolder(const QString& folder, const QString& archivePath) {
    const Utf8Locale utf8;
    const QDir dir(folder);
    if (folder.isEmpty() || !dir.exists())
        fail(QStringLiteral("no folder %1").arg(folder));
    // Names only, in name order: a whole catalogue is a hundred thousand files, and a file's
    // details are needed only while it is written.
    QStringList names;
    for (QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::NoSymLinks); it.hasNext();)
        names.append(it.nextFileInfo().fileName());
    names.sort();
    // Written beside the target and renamed at the end: a failure leaves no half archive.
    const QString part = archivePath + QStringLiteral(".part");
    try {
        Writer writer;
        check(writer.a, archive_write_set_format_zip(writer.a));
        check(writer.a, archive_write_set_options(writer.a, "zip:hdrcharset=UTF-8"));
        check(writer.a, archive_write_open_filename(writer.a, QFile::encodeName(part)));
        for (const QString& name : std::as_const(names))
            writeFileEntry(writer.a, QFileInfo(dir, name));
        check(writer.a, archive_write_close(writer.a));
        if (std::rename(QFile::encodeName(part), QFile::encodeName(archivePath)) != 0)
            fail(QStringLiteral("cannot write %1").arg(archivePath));
    } catch (...) {
        QFile::remove(part);
        throw;
    }
    return archivePath;
}

namespace {

// Inflates every entry of the archive into the folder under its flat name, as a new file that
// no link or file already there stands for, refusing the archive at the first entry that breaks
// a rule or a limit. `created` gets each file as it is made, for taking them back.
void inflateAll(const QString& archivePath, int folder, const ExtractLimits& limits,
                const ExtractLimits& bounded, QStringList& created) {
    Reader reader;
    check(reader.a, archive_read_support_format_zip(reader.a));
    check(reader.a, archive_read_open_filename(reader.a, QFile::encodeName(archivePath), kBlock));

    QSet<QString> seen;
    qint64 entries = 0;
    qint64 bytes = 0;
    archive_entry* entry = nullptr;
    int status;
    while ((status = archive_read_next_header(reader.a, &entry)) == ARCHIVE_OK) {
        if (++entries > limits.entries)
            fail(QStringLiteral("the archive holds more than %1 entries").arg(limits.entries));
        const QString path = entryName(entry);
        const bool folderEntry = archive_entry_filetype(entry) == AE_IFDIR;
        if ((!folderEntry && archive_entry_filetype(entry) != AE_IFREG) ||
            archive_entry_hardlink(entry) || archive_entry_symlink(entry))
            fail(QStringLiteral("entry %1 is not a regular file or a folder").arg(path));
        if (folderEntry)
            continue;
        const QString name = flatName(path);
        if (name.isEmpty() || seen.contains(name))
            fail(QStringLiteral("unsafe or repeated entry name \"%1\"").arg(path));
        seen.insert(name);
        const Fd file(::openat(folder, QFile::encodeName(name),
                               O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644));
        if (file.get() < 0)
            fail(QStringLiteral("cannot write %1: %2").arg(name, qt_error_string(errno)));
        created.append(name);
        inflateEntry(reader.a, file.get(), name, bytes, bounded);
    }
    if (status != ARCHIVE_EOF)
        fail(QString::fromLocal8Bit(archive_error_string(reader.a)));
}

void removeAll(int folder, const QStringList& names) {
    for (const QString& name : names)
        ::unlinkat(folder, QFile::encodeName(name), 0);
}

// Renames the staged files into the target folder. A name already taken there waits for a
// second round, once every new name is placed: a folder of that name refuses the archive and
// takes back what was placed, before anything is replaced; a file or a link gives way.
void placeAll(const QStringList& names, int staging, const QString& target) {
    const Fd folder(openFolder(target));
    QStringList placed;
    QStringList taken;
    const auto refuse = [&](const QString& why) {
        removeAll(folder.get(), placed);
        fail(why);
    };
    for (const QString& name : names) {
        const QByteArray file = QFile::encodeName(name);
        if (::renameat2(staging, file, folder.get(), file, RENAME_NOREPLACE) == 0)
            placed.append(name);
        else if (errno == EEXIST || errno == EINVAL) // EINVAL: a file system without NOREPLACE
            taken.append(name);
        else
            refuse(QStringLiteral("cannot place %1 in %2").arg(name, target));
    }
    QSet<QString> added;
    for (const QString& name : std::as_const(taken)) {
        struct stat there {};
        if (::fstatat(folder.get(), QFile::encodeName(name), &there, AT_SYMLINK_NOFOLLOW) != 0)
            added.insert(name);
        else if (S_ISDIR(there.st_mode))
            refuse(
                QStringLiteral("cannot place %1 in %2: a folder has that name").arg(name, target));
    }
    for (const QString& name : std::as_const(taken)) {
        const QByteArray file = QFile::encodeName(name);
        if (::renameat(staging, file, folder.get(), file) != 0)
            refuse(QStringLiteral("cannot place %1 in %2").arg(name, target));
        if (added.contains(name))
            placed.append(name);
    }
}

// Into a folder that holds nothing else, the files are made in place; a refusal removes every
// one made.
void inflateInto(const QString& archivePath, const QString& target, const ExtractLimits& limits,
                 const ExtractLimits& bounded) {
    const Fd folder(openFolder(target));
    QStringList created;
    try {
        inflateAll(archivePath, folder.get(), limits, bounded, created);
    } catch (...) {
        removeAll(folder.get(), created);
        throw;
    }
}

// Otherwise into a private staging folder first, then renamed into place, which replaces a link
// of the same name instead of writing through it.
void inflateAside(const QString& archivePath, const QString& target, const ExtractLimits& limits,
                  const ExtractLimits& bounded) {
    const QTemporaryDir staging(target + kStagingPrefix + QString::number(::getpid()) +
                                QStringLiteral("-XXXXXX"));
    if (!staging.isValid())
        fail(QStringLiteral("cannot unpack into %1").arg(target));
    const Fd folder(openFolder(staging.path()));
    QStringList names;
    inflateAll(archivePath, folder.get(), limits, bounded, names);
    placeAll(names, folder.get(), target);
}

} // namespace

// Everything is checked before it is kept, so a refused archive leaves the folder as it was.
QString extractArchive(const QString& archivePath, const QString& folder,
                       const ExtractLimits& limits) {
    const Utf8Locale utf8;
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        fail(QStringLiteral("no folder %1").arg(folder));
    const QString target = withSlash(folder);
    const bool empty = removeStaleStaging(target);
    checkZipDirectory(archivePath, limits.entries);
    // An extraction never fills the disk.
    constexpr qint64 kFreeReserve = qint64(256) << 20;
    ExtractLimits bounded = limits;
    if (const qint64 free = QStorageInfo(target).bytesAvailable(); free >= 0)
        bounded.bytes = std::min(limits.bytes, std::max<qint64>(0, free - kFreeReserve));
    if (empty)
        inflateInto(archivePath, target, limits, bounded);
    else
        inflateAside(archivePath, target, limits, bounded);
    return target;
}

} // namespace corvane
