#include "ui/CatalogueUpkeep.h"

#include "catalogue/RecycleBin.h"
#include "catalogue/SearchKeys.h"
#include "catalogue/TemplateFiles.h"
#include "catalogue/TemplateStore.h"
#include "exchange/PackageFolders.h"
#include "ui/ProgressSplash.h"

namespace zq {

QString prepareCatalogue(QWidget* window, const QSqlDatabase& db) {
    sweepInterruptedWork(db);
    ensureRecycleBinTables(db);
    {
        SplashProcess splash;
        uploadMissingFilesOnce(db, templateStorePath(), [&](int done, int total) {
            const QString hint = QStringLiteral("正在把本机模板文件存入模板目录");
            if (done == 1)
                splash.start(hint, window);
            splash.setProgress(hint, done, total);
        });
    }
    SplashProcess splash;
    return ensureSearchKeys(db, [&](int done, int total) {
        const QString hint = QStringLiteral("正在为模板查找建立索引");
        if (done == 0)
            splash.start(hint, window);
        splash.setProgress(hint, done, total);
    });
}

} // namespace zq
