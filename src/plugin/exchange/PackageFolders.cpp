#include "exchange/PackageFolders.h"

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

bool prepareWorkFolder(const QString& folder) {
    QString path = folder;
    while (path.endsWith(QLatin1Char('/')))
        path.chop(1);
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

} // namespace zq
