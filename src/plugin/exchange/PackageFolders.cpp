#include "exchange/PackageFolders.h"

#include "catalogue/StoreStaging.h"
#include "catalogue/TemplateStore.h"
#include "util/FileUtil.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace zq {

namespace {

QString workFolder(const char* name) {
    return hostFolder() + QStringLiteral("~App~Temp/XTGL/") + QString::fromUtf8(name) +
           QLatin1Char('/');
}

} // namespace

QString stagingFolder() {
    return workFolder("DocTemplate");
}

QString unpackFolder() {
    return workFolder("DocUnZipTemplate");
}

namespace {

QString withoutSlash(QString folder) {
    while (folder.endsWith(QLatin1Char('/')))
        folder.chop(1);
    return folder;
}

// Empties the folder, or makes it; false when it cannot be made.
bool prepare(const QString& path) {
    const QFileInfo info(path);
    if (info.isSymLink())
        QFile::remove(path);
    else if (info.isDir())
        deleteDirectoryTree(path);
    else if (info.exists())
        return false;
    return QDir().mkpath(path) && QDir(path).isEmpty(QDir::AllEntries | QDir::Hidden |
                                                     QDir::System | QDir::NoDotAndDotDot);
}

} // namespace

WorkFolder::WorkFolder(const QString& folder)
    : m_path(withoutSlash(folder))
    , m_lock(m_path + QStringLiteral(".lock")) {
    // The lock sits beside the folder, so that emptying the folder leaves it alone. A lock of
    // a process that is gone counts as free, however long a run takes.
    m_lock.setStaleLockTime(0);
    const QString shown = QDir::toNativeSeparators(m_path);
    qint64 holder = 0;
    QString host;
    QString program;
    if (!QDir().mkpath(QFileInfo(m_path).path()))
        m_problem = QStringLiteral("无法创建“%1”。").arg(shown);
    else if (m_lock.tryLock(0))
        m_problem = prepare(m_path) ? QString() : QStringLiteral("无法清空“%1”。").arg(shown);
    else if (m_lock.getLockInfo(&holder, &host, &program))
        m_problem = QStringLiteral("“%1”正被另一个程序（%2，进程 %3）使用，请等它结束后再试。")
                        .arg(shown, program)
                        .arg(holder);
    else
        m_problem = QStringLiteral("无法锁定“%1”。").arg(shown);
}

WorkFolder::~WorkFolder() {
    if (m_lock.isLocked())
        deleteDirectoryTree(m_path);
}

void sweepInterruptedWork(const QSqlDatabase& db) {
    for (const QString& folder : {stagingFolder(), unpackFolder()}) {
        const QString path = withoutSlash(folder);
        if (!QFileInfo(path).isDir())
            continue;
        QLockFile lock(path + QStringLiteral(".lock"));
        lock.setStaleLockTime(0);
        if (lock.tryLock(0))
            deleteDirectoryTree(path);
    }
    sweepStaleStaging(db, templateStorePath());
}

} // namespace zq
