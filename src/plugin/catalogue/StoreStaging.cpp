#include "catalogue/StoreStaging.h"

#include "catalogue/Sql.h"
#include "catalogue/TemplateFiles.h"
#include "catalogue/TemplateStore.h"
#include "util/CrashPoint.h"
#include "util/Error.h"
#include "util/FileUtil.h"

#include <QAtomicInt>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSet>
#include <QStorageInfo>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace zq {

namespace {

const QString kStagingFolder = QStringLiteral(".zq-staging");
const QString kJournal = QStringLiteral("pending");

Error placingError(const QString& fileName) {
    return Error(QStringLiteral("无法把文件“%1”放入模板库。").arg(fileName));
}

// Notes in the run's folder the store files that have no committed row yet.
void writeJournal(const QString& runFolder, const QStringList& fileNames) {
    QFile journal(runFolder + kJournal);
    const QByteArray lines = fileNames.join(QLatin1Char('\n')).toUtf8() + '\n';
    // On disk before the files appear, or a crash could leave a file without its note.
    if (!journal.open(QIODevice::Append) || journal.write(lines) != lines.size() ||
        !journal.flush() || ::fsync(journal.handle()) != 0)
        throw placingError(fileNames.first());
}

// The one folder every source sits in under its own name; empty when there is none.
QString commonFolder(const QList<std::pair<QString, QString>>& files) {
    if (files.isEmpty())
        return {};
    const QString& first = files.first().first;
    const QString folder = first.left(first.size() - files.first().second.size());
    for (const auto& [source, fileName] : files)
        if (source.size() != folder.size() + fileName.size() || !source.startsWith(folder) ||
            !source.endsWith(fileName))
            return {};
    return folder;
}

// A store that holds nothing, or only an empty staging folder, and that this process owns.
bool storeIsEmpty(const QString& store, struct stat& info) {
    if (::lstat(QFile::encodeName(QDir::cleanPath(store)).constData(), &info) != 0 ||
        !S_ISDIR(info.st_mode) || info.st_uid != ::geteuid())
        return false;
    const QStringList entries = QDir(store).entryList(QDir::AllEntries | QDir::Hidden |
                                                      QDir::System | QDir::NoDotAndDotDot);
    return entries.isEmpty() ||
           (entries == QStringList{kStagingFolder} && QDir(store).rmdir(kStagingFolder));
}

bool processRunning(qint64 pid) {
    return pid > 0 && (::kill(pid_t(pid), 0) == 0 || errno == EPERM);
}

} // namespace

StoreStaging::StoreStaging(const QString& store)
    : m_store(withSlash(store)) {
    // The process's id first: a sweep tells by it whether the work may still be running.
    static QAtomicInt serial;
    m_run = QString::number(::getpid()) + QLatin1Char('-') +
            QString::number(serial.fetchAndAddRelaxed(1));
}

StoreStaging::~StoreStaging() {
    if (!m_folder.isEmpty())
        deleteDirectoryTree(m_folder);
}

QString StoreStaging::folder() {
    if (m_folder.isEmpty()) {
        const QString folder = runFolder(m_store);
        makeStoreFolder(folder);
        m_folder = folder;
    }
    return m_folder;
}

QString StoreStaging::runFolder(const QString& parent) const {
    return parent + kStagingFolder + QLatin1Char('/') + m_run + QLatin1Char('/');
}

QString StoreStaging::stage(const QString& source) {
    const QString copy = folder() + QString::number(m_staged++);
    QFile file(source);
    if (!file.copy(copy))
        throw Error(QStringLiteral("无法把模板文件“%1”复制到模板库：%2")
                        .arg(QDir::toNativeSeparators(source), file.errorString()));
    return copy;
}

QString StoreStaging::stageBytes(const QByteArray& bytes, const QDateTime& modified) {
    const QString copy = folder() + QString::number(m_staged++);
    writeStoreFile(copy, bytes, modified);
    return copy;
}

void StoreStaging::place(const QString& source, const QString& fileName) {
    if (!isBareName(fileName))
        throw placingError(fileName);
    const QByteArray target = QFile::encodeName(m_store + fileName);
    if (std::rename(QFile::encodeName(source).constData(), target.constData()) == 0)
        return;
    if (errno != EXDEV ||
        std::rename(QFile::encodeName(stage(source)).constData(), target.constData()) != 0)
        throw placingError(fileName);
    QFile::remove(source);
}

void StoreStaging::expect(const QStringList& fileNames) {
    if (!fileNames.isEmpty())
        writeJournal(folder(), fileNames);
}

bool StoreStaging::adopt(const QString& from, const QStringList& fileNames) {
    struct stat store {};
    if (from.isEmpty() || !storeIsEmpty(m_store, store))
        return false;
    const QSet<QString> placed(fileNames.cbegin(), fileNames.cend());
    QDirIterator entries(from,
                         QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    while (entries.hasNext()) {
        const QString path = entries.next();
        if (placed.contains(entries.fileName()))
            continue;
        if (entries.fileInfo().isDir() && !entries.fileInfo().isSymLink())
            deleteDirectoryTree(path);
        else
            QFile::remove(path);
        if (QFileInfo(path).exists() || QFileInfo(path).isSymLink())
            return false;
    }
    // The journal travels inside the folder, so it is in the store the moment the files are.
    const QString journalFolder = runFolder(from);
    makeStoreFolder(journalFolder);
    writeJournal(journalFolder, fileNames);
    const QByteArray target = QFile::encodeName(QDir::cleanPath(m_store));
    // Fails, changing nothing, when the store is no longer empty or is on another file system.
    if (std::rename(QFile::encodeName(QDir::cleanPath(from)).constData(), target.constData()) !=
        0) {
        deleteDirectoryTree(from + kStagingFolder);
        return false;
    }
    ::chmod(target.constData(), store.st_mode & 07777);
    m_folder = runFolder(m_store);
    return true;
}

void StoreStaging::placeEach(const QList<std::pair<QString, QString>>& files,
                             QStringList& placedNew) {
    for (const auto& [source, fileName] : files) {
        const bool isNew = !QFileInfo::exists(m_store + fileName);
        place(source, fileName);
        if (isNew)
            placedNew.append(fileName);
        crashPoint("import:placing");
    }
}

QStringList StoreStaging::placeAndCommit(const QSqlDatabase& db, Transaction& transaction,
                                         const QList<std::pair<QString, QString>>& files) {
    QStringList failures;
    QStringList names;
    for (const auto& file : files)
        names.append(file.second);
    if (keepsFileBytes(db)) {
        transaction.commit();
        crashPoint("import:committed");
        if (adopt(commonFolder(files), names)) {
            crashPoint("import:placing");
            return failures;
        }
        for (const auto& [source, fileName] : files) {
            try {
                place(source, fileName);
                crashPoint("import:placing");
            } catch (const Error& e) {
                failures.append(e.message());
            }
        }
        return failures;
    }
    QStringList placedNew;
    try {
        if (adopt(commonFolder(files), names)) {
            placedNew = names;
            crashPoint("import:placing");
        } else {
            expect(names);
            placeEach(files, placedNew);
        }
        transaction.commit();
    } catch (...) {
        for (const QString& fileName : std::as_const(placedNew))
            QFile::remove(m_store + fileName);
        throw;
    }
    crashPoint("import:committed");
    return failures;
}

void makeStoreFolder(const QString& folder) {
    if (!QDir().mkpath(folder))
        throw Error(QStringLiteral("无法创建模板文件夹“%1”。").arg(folder));
}

void writeStoreFile(const QString& path, const QByteArray& bytes, const QDateTime& modified) {
    if (QFileInfo(path).isSymLink())
        QFile::remove(path);
    QSaveFile file(path);
    const auto fail = [&] {
        return Error(QStringLiteral("无法写入模板文件“%1”：%2").arg(path, file.errorString()));
    };
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        throw fail();
    file.setFileTime(modified, QFileDevice::FileModificationTime);
    if (!file.commit())
        throw fail();
}

void sweepStaleStaging(const QSqlDatabase& db, const QString& store) {
    const QString root = withSlash(store) + kStagingFolder;
    QDir staging(root);
    if (!staging.exists())
        return;
    const QStringList runs = staging.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden);
    // The names the catalogue knows, read once: a journal may list a whole import.
    std::optional<QSet<QString>> taken;
    for (const QString& run : runs) {
        if (processRunning(run.section(QLatin1Char('-'), 0, 0).toLongLong()))
            continue;
        QFile journal(staging.filePath(run) + QLatin1Char('/') + kJournal);
        if (journal.open(QIODevice::ReadOnly)) {
            if (!taken) {
                ensureTemplateFileTable(db);
                taken =
                    columnValues(db, QStringLiteral("select DocFileName from ZQ_DocTemplateFile "
                                                    "union select DocFileName from "
                                                    "ZQ_DocTempDetail"));
            }
            const QList<QByteArray> names = journal.readAll().split('\n');
            for (const QByteArray& line : names) {
                const QString name = QString::fromUtf8(line);
                if (isBareName(name) && !taken->contains(name))
                    QFile::remove(withSlash(store) + name);
            }
        }
        deleteDirectoryTree(staging.filePath(run));
    }
    staging.rmdir(root);
}

void checkStoreRoom(const QString& store, const std::function<qint64()>& bytes,
                    const QString& movedFrom) {
    makeStoreFolder(store);
    const QString storePath = QDir(store).absolutePath();
    if (::access(QFile::encodeName(storePath).constData(), W_OK) != 0)
        throw Error(QStringLiteral("模板库文件夹只读"),
                    QStringLiteral("“%1”不能写入：%2").arg(storePath, qt_error_string(errno)));
    const QStorageInfo volume(storePath);
    const bool moved = !movedFrom.isEmpty() && QStorageInfo(movedFrom) == volume;
    if (moved || !volume.isValid())
        return;
    if (const qint64 needed = bytes(); volume.bytesAvailable() < needed)
        throw Error(QStringLiteral("模板库所在磁盘空间不足"),
                    QStringLiteral("“%1”还需要 %2 MB，可用 %3 MB。")
                        .arg(volume.rootPath())
                        .arg((needed + (1 << 20) - 1) >> 20)
                        .arg(volume.bytesAvailable() >> 20));
}

} // namespace zq
