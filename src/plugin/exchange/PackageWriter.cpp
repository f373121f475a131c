#include "exchange/PackageWriter.h"

#include "catalogue/TemplateFiles.h"

#include "catalogue/TemplateStore.h"
#include "platform/HostPlatform.h"
#include "util/FileUtil.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <fcntl.h>
#include <unistd.h>

namespace zq {

namespace {

// A hard link costs no copy of the bytes; another file system gets a copy.
bool stageFile(const QString& source, const QString& target) {
    return ::linkat(AT_FDCWD, QFile::encodeName(source).constData(), AT_FDCWD,
                    QFile::encodeName(target).constData(), AT_SYMLINK_FOLLOW) == 0 ||
           QFile::copy(source, target);
}

QString templateName(const TemplateRecord& record) {
    return QStringLiteral("模板文件“%1”（%2）").arg(record.caption, record.fileName);
}

} // namespace

PackageResult writePackage(const QSqlDatabase& db, const SelectionNode& root,
                           const QString& packagePath, const PackageProgress& progress) {
    const QString staging = stagingFolder();
    const WorkFolder held(staging);
    if (!held.isReady())
        throw PackageError(PackageError::Kind::StagingFolder,
                           QStringLiteral("创建文件临时文件夹失败！"));

    const QList<ManifestEntry> selected = selectedEntries(root);
    QStringList fileNames;
    for (const ManifestEntry& entry : selected)
        if (entry.kind == ManifestEntry::Kind::Template)
            fileNames.append(entry.record.fileName);
    ensureLocalCopies(db, templateStorePath(), fileNames);
    const int total = int(std::count_if(selected.cbegin(), selected.cend(), [](const auto& e) {
        return e.kind == ManifestEntry::Kind::Template;
    }));
    PackageResult result;
    QList<ManifestEntry> written;
    written.reserve(selected.size());
    QSet<QString> staged;
    int done = 0;
    for (const ManifestEntry& entry : selected) {
        if (entry.kind == ManifestEntry::Kind::Class) {
            written.append(entry);
            continue;
        }
        const QString& name = entry.record.fileName;
        const QString source = storedFilePath(name);
        QString reason;
        if (!isBareName(name) || name == manifestFileName())
            reason = QStringLiteral("文件名不能用于模板包");
        else if (!QFileInfo(source).isFile())
            reason = QStringLiteral("模板库中没有该文件");
        else if (!staged.contains(name) && !stageFile(source, staging + name))
            reason = QStringLiteral("无法复制该文件");
        if (reason.isEmpty()) {
            staged.insert(name);
            written.append(entry);
            ++result.templates;
        } else {
            result.leftOut.append(templateName(entry.record) + QStringLiteral("：") + reason);
        }
        if (progress)
            progress(++done, total);
    }
    writeManifest(staging + manifestFileName(), written);

    // A file left from before is no package of this run.
    const QDateTime started = QDateTime::currentDateTime().addSecs(-1);
    const QString packed = hostPlatform().CompressFile(staging, packagePath);
    const QFileInfo package(packagePath);
    if (packed.isEmpty() || !package.isFile() || package.size() == 0 ||
        package.lastModified() < started)
        throw PackageError(PackageError::Kind::Compression,
                           QStringLiteral("模板文件包“%1”没有写成！").arg(packagePath));
    return result;
}

} // namespace zq
