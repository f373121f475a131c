#include "ZipDirectory.h"

#include <QFile>
#include <stdexcept>

namespace corvane {

namespace {

[[noreturn]] void fail(const QString& message) {
    throw std::runtime_error(message.toStdString());
}

quint64 le(const QByteArray& bytes, qsizetype at, int size) {
    quint64 value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = value << 8 | quint8(bytes[at + i]);
    return value;
}

struct ZipDirectory {
    quint64 count = 0;
    quint64 size = 0;
    quint64 offset = 0;
};

// Where the central directory lies, from the end record, or from the ZIP64 end record that a
// locator just before it points to when a 16- or 32-bit field is saturated.
ZipDirectory findZipDirectory(QFile& file, const QString& archivePath) {
    const QString damaged =
        QStringLiteral("%1 is not a zip archive, or it is damaged").arg(archivePath);
    const qint64 tailSize = std::min<qint64>(file.size(), 22 + 0xFFFF);
    file.seek(file.size() - tailSize);
    const QByteArray tail = file.read(tailSize);
    const qsizetype end = tail.lastIndexOf(QByteArray("PK\x05\x06", 4));
    if (end < 0 || end + 22 > tail.size())
        fail(damaged);
    ZipDirectory directory{le(tail, end + 10, 2), le(tail, end + 12, 4), le(tail, end + 16, 4)};
    if (directory.count != 0xFFFF && directory.size != 0xFFFFFFFF && directory.offset != 0xFFFFFFFF)
        return directory;
    if (end < 20 || le(tail, end - 20, 4) != 0x07064b50)
        fail(damaged);
    const qint64 recordAt = qint64(le(tail, end - 20 + 8, 8));
    const qint64 endAt = file.size() - tailSize + end;
    if (recordAt < 0 || recordAt + 56 > endAt - 20 || !file.seek(recordAt))
        fail(damaged);
    const QByteArray record = file.read(56);
    if (record.size() < 56 || le(record, 0, 4) != 0x06064b50)
        fail(damaged);
    return {le(record, 32, 8), le(record, 40, 8), le(record, 48, 8)};
}

// The local header offset of a central directory entry, from its ZIP64 extra field when the
// 32-bit field is saturated; the sizes come first in that field when they are saturated too.
quint64 localHeaderOffset(const QByteArray& directory, qsizetype at, quint32 nameSize) {
    const quint64 offset = le(directory, at + 42, 4);
    if (offset != 0xFFFFFFFF)
        return offset;
    qsizetype extra = at + 46 + nameSize;
    const qsizetype extraEnd = extra + qsizetype(le(directory, at + 30, 2));
    while (extra + 4 <= extraEnd) {
        const quint64 id = le(directory, extra, 2);
        const qsizetype size = qsizetype(le(directory, extra + 2, 2));
        if (extra + 4 + size > extraEnd)
            break;
        if (id == 0x0001) {
            qsizetype field = extra + 4;
            field += le(directory, at + 24, 4) == 0xFFFFFFFF ? 8 : 0;
            field += le(directory, at + 20, 4) == 0xFFFFFFFF ? 8 : 0;
            if (field + 8 <= extra + 4 + size)
                return le(directory, field, 8);
            break;
        }
        extra += 4 + size;
    }
    return std::numeric_limits<quint64>::max();
}

} // namespace

void checkZipDirectory(const QString& archivePath, qint64 maxEntries) {
    QFile file(archivePath);
    if (!file.open(QIODevice::ReadOnly))
        fail(QStringLiteral("cannot read %1").arg(archivePath));
    const ZipDirectory found = findZipDirectory(file, archivePath);
    if (found.count > quint64(maxEntries))
        fail(QStringLiteral("the archive holds more than %1 entries").arg(maxEntries));
    const quint64 fileSize = quint64(file.size());
    if (found.offset > fileSize || found.size > fileSize - found.offset ||
        !file.seek(qint64(found.offset)))
        fail(QStringLiteral("%1 is damaged").arg(archivePath));
    const QByteArray directory = file.read(qint64(found.size));
    qsizetype at = 0;
    for (quint64 i = 0; i < found.count; ++i) {
        if (at + 46 > directory.size() || le(directory, at, 4) != 0x02014b50)
            fail(QStringLiteral("%1 is damaged").arg(archivePath));
        const quint32 nameSize = quint32(le(directory, at + 28, 2));
        const qsizetype next =
            at + 46 + nameSize + qsizetype(le(directory, at + 30, 2) + le(directory, at + 32, 2));
        if (next > directory.size() || directory.mid(at + 46, nameSize).contains('\0'))
            fail(QStringLiteral("an entry name of %1 is damaged or holds a NUL").arg(archivePath));
        // Made on Unix, an entry keeps its file type in its external attributes; libarchive
        // reads a FIFO or a socket as a regular file.
        const quint64 type = le(directory, at + 38, 4) >> 16 & 0170000;
        if (quint8(directory[at + 5]) == 3 && type != 0 && type != 0100000 && type != 040000)
            fail(QStringLiteral("entry %1 is not a regular file or a folder")
                     .arg(QString::fromUtf8(directory.mid(at + 46, nameSize))));
        const quint64 local = localHeaderOffset(directory, at, nameSize);
        if (local > fileSize - 30 || !file.seek(qint64(local)))
            fail(QStringLiteral("%1 is damaged").arg(archivePath));
        const QByteArray header = file.read(30);
        if (header.size() < 30 || le(header, 0, 4) != 0x04034b50 ||
            file.read(qint64(le(header, 26, 2))).contains('\0'))
            fail(QStringLiteral("an entry name of %1 is damaged or holds a NUL").arg(archivePath));
        at = next;
    }
    if (at != directory.size())
        fail(QStringLiteral("%1 is damaged: its directory holds more entries than it counts")
                 .arg(archivePath));
}

} // namespace corvane
