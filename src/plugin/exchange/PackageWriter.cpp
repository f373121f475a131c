#include "exchange/PackageWriter.h"

#include "catalogue/TemplateFiles.h"
#include "catalogue/TemplateStore.h"
#include "exchange/ArchiveProgress.h"
#include "platform/HostPlatform.h"
#include "util/FileUtil.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
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

    // The entries go through a few hundred at a time: their stored files brought up to date
    // in one go, staged, and written to the manifest, so that no list of all of them is held.
    const int total = selectedTemplateCount(db, root);
    constexpr qsizetype kBatch = 500;
    PackageResult result;
    ManifestWriter manifest(staging + manifestFileName());
    QList<ManifestEntry> batch;
    qint64 stagedBytes = 0;
    int done = 0;
    const auto writeBatch = [&] {
        QStringList fileNames;
        for (const ManifestEntry& entry : std::as_const(batch))
            if (entry.kind == ManifestEntry::Kind::Template)
                fileNames.append(entry.record.fileName);
        ensureLocalCopies(db, templateStorePath(), fileNames);
        for (const ManifestEntry& entry : std::as_const(batch)) {
            if (entry.kind == ManifestEntry::Kind::Class) {
                manifest.add(entry);
                continue;
            }
            const QString& name = entry.record.fileName;
            const QString source = storedFilePath(name);
            const QString target = staging + name;
            const bool packable = isBareName(name) && name != manifestFileName();
            // Two templates may name one file: it is staged once.
            const bool first = packable && !QFileInfo::exists(target);
            QString reason;
            if (!packable)
                reason = QStringLiteral("文件名不能用于模板包");
            else if (!QFileInfo(source).isFile())
                reason = QStringLiteral("模板库中没有该文件");
            else if (first && !stageFile(source, target))
                reason = QStringLiteral("无法复制该文件");
            if (reason.isEmpty()) {
                if (first)
                    stagedBytes += QFileInfo(source).size();
                manifest.add(entry);
                ++result.templates;
            } else {
                result.leftOut.append(templateName(entry.record) + QStringLiteral("：") + reason);
            }
            if (progress)
                progress(PackageStage::Staging, ++done, total);
        }
        batch.clear();
    };
    forEachSelectedEntry(db, root, [&](const ManifestEntry& entry) {
        batch.append(entry);
        if (batch.size() == kBatch)
            writeBatch();
    });
    writeBatch();
    manifest.finish();

    // A file left from before is no package of this run.
    const QDateTime started = QDateTime::currentDateTime().addSecs(-1);
    const auto compressing = [&](qint64 done, qint64 total) {
        progress(PackageStage::Compressing, done, total);
    };
    const QString packed = runWithReadProgress(
        [&] { return hostPlatform().CompressFile(staging, packagePath); }, stagedBytes,
        progress ? compressing : std::function<void(qint64, qint64)>());
    const QFileInfo package(packagePath);
    if (packed.isEmpty() || !package.isFile() || package.size() == 0 ||
        package.lastModified() < started)
        throw PackageError(PackageError::Kind::Compression,
                           QStringLiteral("模板文件包“%1”没有写成！").arg(packagePath));
    return result;
}

} // namespace zq
