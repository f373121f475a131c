#include "exchange/PackageWriter.h"

#include "catalogue/TemplateFiles.h"
#include "catalogue/TemplateStore.h"
#include "catalogue/TextRules.h"
#include "exchange/ArchiveProgress.h"
#include "platform/HostPlatform.h"
#include "util/FileUtil.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zq {

namespace {

// Stages the store's regular file, never what a link put in its place points to. A hard link
// costs no copy of the bytes: it is made of the entry itself and kept only when that is a
// regular file. Another file system gets a copy, read without following a link.
bool stageFile(const QString& source, const QString& target) {
    const QByteArray staged = QFile::encodeName(target);
    if (::linkat(AT_FDCWD, QFile::encodeName(source).constData(), AT_FDCWD, staged.constData(),
                 0) == 0) {
        struct stat info {};
        if (::lstat(staged.constData(), &info) == 0 && S_ISREG(info.st_mode))
            return true;
        ::unlink(staged.constData());
        return false;
    }
    QFile input;
    QFile output(target);
    if (!openRegularFile(input, source) || !output.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return false;
    while (!input.atEnd()) {
        const QByteArray chunk = input.read(1 << 20);
        if (chunk.isEmpty() || output.write(chunk) != chunk.size()) {
            output.remove();
            return false;
        }
    }
    return true;
}

QString entryLabel(const ManifestEntry& entry) {
    return entry.kind == ManifestEntry::Kind::Class ? classLabel(entry.record)
                                                    : templateLabel(entry.record);
}

// The entry as the text rule lets it travel: a control character stored before the rule becomes
// a space. A code takes a name's rule; a file name with one is no bare name and stays out.
ManifestEntry travelling(ManifestEntry entry) {
    TemplateRecord& r = entry.record;
    const bool isClass = entry.kind == ManifestEntry::Kind::Class;
    r.caption =
        withControlsReplaced(isClass ? TextField::ClassName : TextField::Caption, r.caption);
    r.memo = withControlsReplaced(isClass ? TextField::ClassMemo : TextField::Memo, r.memo);
    r.classCode = withControlsReplaced(TextField::ClassName, r.classCode);
    r.typeName = withControlsReplaced(TextField::TypeName, r.typeName);
    r.keyWord = withControlsReplaced(TextField::KeyWord, r.keyWord);
    return entry;
}

// Writes the entry as it travels, and names it when that changed a text.
void addEntry(ManifestWriter& manifest, PackageResult& result, const ManifestEntry& entry) {
    const ManifestEntry travels = travelling(entry);
    if (travels.record.toList(TemplateRecord::Form::SevenFields) !=
        entry.record.toList(TemplateRecord::Form::SevenFields))
        result.altered.append(entryLabel(travels) + QStringLiteral("：控制字符已替换为空格"));
    manifest.add(travels);
}

// Why a template is left out of the package, or the empty text when its file is staged: at
// `target` when given, once for each file however many templates name it.
QString leftOutReason(bool packable, bool damaged, const QFileInfo& source, const QString& target) {
    if (!packable)
        return QStringLiteral("文件名不能用于模板包");
    if (damaged)
        return QStringLiteral("数据库中的该文件已损坏（大小或校验值不符）");
    if (source.isSymLink() || (source.exists() && !source.isFile()))
        return QStringLiteral("模板库中的该文件不是普通文件（如链接）");
    if (!source.isFile())
        return QStringLiteral("模板库中没有该文件");
    if (!target.isEmpty() && !stageFile(source.filePath(), target))
        return QStringLiteral("无法复制该文件");
    return {};
}

// Has the host pack the staging folder into the package file.
void compress(const QString& staging, const QString& packagePath, qint64 stagedBytes,
              const PackageProgress& progress) {
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
}

} // namespace

PackageResult writePackage(const QSqlDatabase& db, const SelectionNode& root,
                           const QString& packagePath, const PackageProgress& progress) {
    const QString staging = stagingFolder();
    const WorkFolder held(staging);
    if (!held.isReady())
        throw PackageError(PackageError::Kind::StagingFolder,
                           QStringLiteral("创建文件临时文件夹失败！"), held.problem());

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
        const QSet<QString> damaged = ensureLocalCopies(db, templateStorePath(), fileNames);
        for (const ManifestEntry& entry : std::as_const(batch)) {
            if (entry.kind == ManifestEntry::Kind::Class) {
                addEntry(manifest, result, entry);
                continue;
            }
            const QString& name = entry.record.fileName;
            const QFileInfo source(storedFilePath(name));
            const QString target = staging + name;
            const bool packable = isPackageFileName(name);
            // Two templates may name one file: it is staged once.
            const bool first = packable && !QFileInfo::exists(target);
            const QString reason =
                leftOutReason(packable, damaged.contains(name), source, first ? target : QString());
            if (reason.isEmpty()) {
                if (first)
                    stagedBytes += source.size();
                addEntry(manifest, result, entry);
                ++result.templates;
            } else {
                result.leftOut.append(templateLabel(travelling(entry).record) +
                                      QStringLiteral("：") + reason);
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

    compress(staging, packagePath, stagedBytes, progress);
    return result;
}

} // namespace zq
