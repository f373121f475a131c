#include "catalogue/StoreStaging.h"

#include "catalogue/Sql.h"
#include "catalogue/TemplateFiles.h"
#include "catalogue/TemplateStore.h"
#include "util/CrashPoint.h"
#include "util/Error.h"
#include "util/FileUtil.h"

#include <QAtomicInt>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSet>
#include <QStorageInfo>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <optional>
#include <unistd.h>

namespace zq {

namespace {

const QString kStagingFolder = QStringLiteral(".zq-staging");
const QString kJournal = QStringLiteral("pending");

bool processRunning(qint64 pid) {
    return pid > 0 && (::kill(pid_t(pid), 0) == 0 || errno == EPERM);
}

Error placingError(const QString& fileName) {
    return Error(QStringLiteral("无法把文件“%1”放入模板库。").arg(fileName));
}

} // namespace

StoreStaging::StoreStaging(const QString& store)
    : m_store(withSlash(store)) {
}

StoreStaging::~StoreStaging() {
    if (!m_folder.isEmpty())
        deleteDirectoryTree(m_folder);
}

QString StoreStaging::folder() {
    if (m_folder.isEmpty()) {
        // The process's id first: a sweep tells by it whether the work may still be running.
        static QAtomicInt serial;
        const QString folder = m_store + kStagingFolder + QLatin1Char('/') +
                               QString::number(::getpid()) + QLatin1Char('-') +
                               QString::number(serial.fetchAndAddRelaxed(1)) + QLatin1Char('/');
        makeStoreFolder(folder);
        m_folder = folder;
    }
    return m_folder;
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
    if (fileNames.isEmpty())
        return;
    QFile journal(folder() + kJournal);
    const QByteArray lines = fileNames.join(QLatin1Char('\n')).toUtf8() + '\n';
    // On disk before the files appear, or a crash could leave a file without its note.
    if (!journal.open(QIODevice::Append) || journal.write(lines) != lines.size() ||
        !journal.flush() || ::fsync(journal.handle()) != 0)
        throw placingError(fileNames.first());
}

QStringList StoreStaging::placeAndCommit(const QSqlDatabase& db, Transaction& transaction,
                                         const QList<std::pair<QString, QString>>& files) {
    QStringList failures;
    if (keepsFileBytes(db)) {
        transaction.commit();
        crashPoint("import:committed");
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
    QStringList names;
    for (const auto& file : files)
        names.append(file.second);
    expect(names);
    QStringList placedNew;
    try {
        for (const auto& [source, fileName] : files) {
            const bool isNew = !QFileInfo::exists(m_store + fileName);
            place(source, fileName);
            if (isNew)
                placedNew.append(fileName);
            crashPoint("import:placing");
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

void checkStoreRoom(const QString& store, qint64 bytes, const QString& movedFrom) {
    makeStoreFolder(store);
    const QString storePath = QDir(store).absolutePath();
    if (::access(QFile::encodeName(storePath).constData(), W_OK) != 0)
        throw Error(QStringLiteral("模板库文件夹只读"),
                    QStringLiteral("“%1”不能写入：%2").arg(storePath, qt_error_string(errno)));
    const QStorageInfo volume(storePath);
    const bool moved = !movedFrom.isEmpty() && QStorageInfo(movedFrom) == volume;
    if (!moved && volume.isValid() && volume.bytesAvailable() < bytes)
        throw Error(QStringLiteral("模板库所在磁盘空间不足"),
                    QStringLiteral("“%1”还需要 %2 MB，可用 %3 MB。")
                        .arg(volume.rootPath())
                        .arg((bytes + (1 << 20) - 1) >> 20)
                        .arg(volume.bytesAvailable() >> 20));
}

} // namespace zq
