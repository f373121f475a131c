#include "exchange/UnpackedPackage.h"

#include "exchange/ArchiveProgress.h"
#include "platform/HostPlatform.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>

namespace zq {

namespace {

// What a quick look at a package the host would not unpack tells about it: the host's service
// answers only with an empty text.
QString packageDamage(const QString& packagePath) {
    QFile file(packagePath);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("无法读取该文件。");
    if (!file.read(4).startsWith("PK"))
        return QStringLiteral("该文件不是 zip 格式的模板包。");
    const qint64 tail = std::min<qint64>(file.size(), 22 + 0xFFFF);
    file.seek(file.size() - tail);
    if (!file.read(tail).contains(QByteArray("PK\x05\x06", 4)))
        return QStringLiteral("模板包不完整（可能被截断）或已损坏。");
    return QStringLiteral("模板包已损坏，或含有不能解包的条目（不安全的名称、链接、"
                          "特殊文件），或超出解包的限制（条目数、大小、可用空间）。");
}

} // namespace

UnpackedPackage::UnpackedPackage(const QString& packagePath, const PackageProgress& progress)
    : m_folder(unpackFolder()) {
    if (!QFileInfo(packagePath).isFile())
        throw PackageError(PackageError::Kind::MissingPackage, QStringLiteral("文件包不存在！"));
    const WorkFolder& held = m_held.emplace(m_folder);
    if (!held.isReady())
        throw PackageError(PackageError::Kind::UnpackFolder,
                           QStringLiteral("创建文件临时解包文件夹失败！"), held.problem());
    const auto extracting = [&](qint64 done, qint64 total) {
        progress(PackageStage::Extracting, done, total);
    };
    if (runWithExtractProgress([&] { return hostPlatform().ExtractFile(packagePath, m_folder); },
                               packagePath,
                               progress ? extracting : std::function<void(qint64, qint64)>())
            .isEmpty())
        throw PackageError(PackageError::Kind::Extraction, QStringLiteral("导入模板文件失败！"),
                           packageDamage(packagePath));
}

Manifest UnpackedPackage::manifest() const {
    return readManifest(m_folder + manifestFileName());
}

} // namespace zq
