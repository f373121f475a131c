#include "util/FileUtil.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zq {

QString desktopFolder() {
    const QString path = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    return QFileInfo(path).isDir() ? path : QString();
}

QString withSlash(const QString& folder) {
    return folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
}

bool openRegularFile(QFile& file, const QString& path) {
    // Not blocking: opening a FIFO for reading would wait for a writer.
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) ||
        !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return false;
    }
    return true;
}

namespace {

// A file that cannot be removed ends the walk of its own folder only; the folders above go on
// with their other entries and simply fail to remove themselves.
void deleteTree(const QString& path) {
    // A read-only folder would keep its entries.
    QFile::setPermissions(path, QFile::permissions(path) | QFileDevice::ReadOwner |
                                    QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QDir dir(path);
    const QFileInfoList entries = dir.entryInfoList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Unsorted);
    for (const QFileInfo& entry : entries) {
        // A link is removed as a link, never entered.
        if (!entry.isSymLink() && entry.isDir()) {
            deleteTree(entry.filePath());
            continue;
        }
        // Removing a file asks nothing of its own mode; changing it would change the store's
        // file too where the entry is a hard link to it.
        if (!QFile::remove(entry.filePath()))
            break;
    }
    dir.rmdir(path);
}

} // namespace

void deleteDirectoryTree(const QString& path) {
    // With its separator the path of a link would stand for the folder it points to.
    QString folder = path;
    while (folder.size() > 1 && folder.endsWith(QLatin1Char('/')))
        folder.chop(1);
    const QFileInfo info(folder);
    if (info.isSymLink() || !info.isDir())
        return;
    deleteTree(info.absoluteFilePath());
}

} // namespace zq
