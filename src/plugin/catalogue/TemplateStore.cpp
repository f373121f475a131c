#include "catalogue/TemplateStore.h"

#include "catalogue/StoreStaging.h"
#include "util/FileUtil.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <optional>

namespace zq {

namespace {

QString& chosenHostFolder() {
    static QString folder;
    return folder;
}

} // namespace

QString hostFolder() {
    const QString& chosen = chosenHostFolder();
    if (!chosen.isEmpty())
        return chosen;
    const QString named = qEnvironmentVariable("ZQ_HOST_FOLDER");
    return withSlash(named.isEmpty() ? QCoreApplication::applicationDirPath() : named);
}

void setHostFolder(const QString& folder) {
    chosenHostFolder() =
        folder.isEmpty() || folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
}

QString templateStorePath() {
    return hostFolder() + QStringLiteral("APP/Config/XTGL/DocTemplate/");
}

namespace {

bool forbiddenInName(QChar c) {
    return c == QLatin1Char('/') || c == QLatin1Char('\\') || c == QLatin1Char(':') ||
           c.category() == QChar::Other_Control;
}

} // namespace

bool isBareName(const QString& name) {
    if (name.trimmed().isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return false;
    return std::none_of(name.begin(), name.end(), forbiddenInName);
}

QString storedFilePath(const QString& docFileName) {
    return isBareName(docFileName) ? templateStorePath() + docFileName : QString();
}

QString freeStoredName(const QString& folder, const QString& fileName,
                       const std::function<bool(const QString& fileName)>& nameTaken) {
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    const QString extension = dot < 0 ? QString() : fileName.mid(dot);
    const QString baseName = fileName.left(fileName.size() - extension.size());
    const auto taken = [&](const QString& name) {
        const QFileInfo info(folder + name);
        return info.exists() || info.isSymLink() || (nameTaken && nameTaken(name));
    };
    QString candidate = fileName;
    for (int counter = 0; taken(candidate); ++counter)
        candidate = baseName + QString::number(counter) + extension;
    return candidate;
}

QString copyToStore(const QString& sourcePath, const QString& folder,
                    const std::function<bool(const QString& fileName)>& nameTaken,
                    StoreStaging* staging) {
    const QString target = withSlash(folder);
    makeStoreFolder(target);

    // The stored name must be a bare name on every platform, whatever the source is called here.
    QString fileName = QFileInfo(sourcePath).fileName();
    std::replace_if(fileName.begin(), fileName.end(), forbiddenInName, QLatin1Char('_'));
    if (!isBareName(fileName))
        fileName.prepend(QLatin1Char('_'));

    std::optional<StoreStaging> own;
    if (!staging)
        staging = &own.emplace(target);
    const QString staged = staging->stage(sourcePath);
    fileName = freeStoredName(target, fileName, nameTaken);
    staging->expect({fileName});
    staging->place(staged, fileName);
    return target + fileName;
}

} // namespace zq
