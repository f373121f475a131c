#include "Archive.h"

#include "HostCore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <archive.h>
#include <archive_entry.h>
#include <cstdio>
#include <fcntl.h>
#include <locale.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace corvane {

namespace {

constexpr qsizetype kBlock = 64 * 1024;

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

// The file's name within the flat target folder: the last component of a relative path
// without "..", when that is a safe bare name; empty otherwise.
QString flatName(const QString& path) {
    static const QRegularExpression separators(QStringLiteral("[/\\\\]"));
    if (path.isEmpty() || path.startsWith(QLatin1Char('/')) || path.startsWith(QLatin1Char('\\')) ||
        (path.size() > 1 && path[1] == QLatin1Char(':')))
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

void inflateEntry(archive* a, const QString& path, qint64& bytes, qint64 maxBytes) {
    const int fd = ::open(QFile::encodeName(path), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, 0644);
    if (fd < 0)
        fail(QStringLiteral("cannot write %1").arg(path));
    QFile file;
    if (!file.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        fail(QStringLiteral("cannot write %1").arg(path));
    }
    QByteArray block(kBlock, Qt::Uninitialized);
    for (;;) {
        const la_ssize_t n = archive_read_data(a, block.data(), block.size());
        if (n < 0)
            fail(QString::fromLocal8Bit(archive_error_string(a)));
        if (n == 0)
            break;
        bytes += n;
        if (bytes > maxBytes)
            fail(QStringLiteral("the archive inflates beyond %1 bytes").arg(maxBytes));
        if (file.write(block.constData(), n) != n)
            fail(file.errorString());
    }
}

} // namespace

QString compressFolder(const QString& folder, const QString& archivePath) {
    const Utf8Locale utf8;
    const QDir dir(folder);
    if (folder.isEmpty() || !dir.exists())
        fail(QStringLiteral("no folder %1").arg(folder));
    const QFileInfoList files =
        dir.entryInfoList(QDir::Files | QDir::Hidden | QDir::NoSymLinks, QDir::Name);
    // Written beside the target and renamed at the end: a failure leaves no half archive.
    const QString part = archivePath + QStringLiteral(".part");
    try {
        Writer writer;
        check(writer.a, archive_write_set_format_zip(writer.a));
        check(writer.a, archive_write_set_options(writer.a, "zip:hdrcharset=UTF-8"));
        check(writer.a, archive_write_open_filename(writer.a, QFile::encodeName(part)));
        for (const QFileInfo& file : files)
            writeFileEntry(writer.a, file);
        check(writer.a, archive_write_close(writer.a));
        if (std::rename(QFile::encodeName(part), QFile::encodeName(archivePath)) != 0)
            fail(QStringLiteral("cannot write %1").arg(archivePath));
    } catch (...) {
        QFile::remove(part);
        throw;
    }
    return archivePath;
}

// Everything is inflated into a private staging folder first, so a refused archive leaves the
// folder as it was; the files are then renamed into place, which replaces a link of the same
// name instead of writing through it.
QString extractArchive(const QString& archivePath, const QString& folder,
                       const ExtractLimits& limits) {
    const Utf8Locale utf8;
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        fail(QStringLiteral("no folder %1").arg(folder));
    const QString target = withSlash(folder);
    QTemporaryDir staging(target + QStringLiteral(".corvane-unpack-XXXXXX"));
    if (!staging.isValid())
        fail(QStringLiteral("cannot unpack into %1").arg(target));

    Reader reader;
    check(reader.a, archive_read_support_format_zip(reader.a));
    // Names without the UTF-8 flag come from Chinese Windows: code page 936.
    check(reader.a, archive_read_set_options(reader.a, "zip:hdrcharset=CP936"));
    check(reader.a, archive_read_open_filename(reader.a, QFile::encodeName(archivePath), kBlock));

    QStringList names;
    QSet<QString> seen;
    qint64 entries = 0;
    qint64 bytes = 0;
    archive_entry* entry = nullptr;
    int status;
    while ((status = archive_read_next_header(reader.a, &entry)) == ARCHIVE_OK) {
        if (++entries > limits.entries)
            fail(QStringLiteral("the archive holds more than %1 entries").arg(limits.entries));
        if (archive_entry_filetype(entry) == AE_IFDIR)
            continue;
        const char* utf8Name = archive_entry_pathname_utf8(entry);
        const QString path = QString::fromUtf8(utf8Name ? utf8Name : "");
        if (archive_entry_filetype(entry) != AE_IFREG || archive_entry_hardlink(entry) ||
            archive_entry_symlink(entry))
            fail(QStringLiteral("entry %1 is not a regular file").arg(path));
        const QString name = flatName(path);
        if (name.isEmpty() || seen.contains(name))
            fail(QStringLiteral("unsafe or repeated entry name \"%1\"").arg(path));
        seen.insert(name);
        names.append(name);
        inflateEntry(reader.a, staging.filePath(name), bytes, limits.bytes);
    }
    if (status != ARCHIVE_EOF)
        fail(QString::fromLocal8Bit(archive_error_string(reader.a)));

    for (const QString& name : std::as_const(names)) {
        if (std::rename(QFile::encodeName(staging.filePath(name)),
                        QFile::encodeName(target + name)) != 0)
            fail(QStringLiteral("cannot place %1 in %2").arg(name, target));
    }
    return target;
}

} // namespace corvane
