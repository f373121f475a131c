#include "ui/ManagerPackages.h"

#include "exchange/PackageReader.h"
#include "ui/ManagerWindow.h"
#include "ui/PackageExportDialog.h"
#include "ui/ProgressSplash.h"
#include "widgets/DialogService.h"
#include "widgets/UiReferences.h"

#include <QAction>
#include <QFileInfo>
#include <QTreeWidget>
#include <memory>

namespace zq {

namespace {

const QString kTitle = QStringLiteral("系统提示");

} // namespace

ManagerPackages::ManagerPackages(ManagerWindow* window)
    : QObject(window)
    , m_window(window) {
    connect(window->action(QStringLiteral("ActExport")), &QAction::triggered, this,
            [this] { guarded(m_window, [this] { exportPackage(); }); });
    connect(window->action(QStringLiteral("ActImport")), &QAction::triggered, this,
            [this] { guarded(m_window, [this] { importPackage(); }); });
}

void ManagerPackages::exportPackage() {
    std::unique_ptr<PackageExportDialog> dialog;
    {
        SplashProcess process;
        process.start(QStringLiteral("正在收集文档模板..."), m_window);
        dialog = std::make_unique<PackageExportDialog>(application(), m_window->database());
    }
    dialogs().exec(dialog.get());
}

void ManagerPackages::importPackage() {
    const QString path =
        dialogs().chooseOpenFile(m_window, QStringLiteral("导入文档模板"), QString(),
                                 QStringLiteral("模板管理导出包(*.TempFile)"));
    if (path.isEmpty())
        return;
    if (!QFileInfo(path).isFile())
        return dialogs().inform(m_window, kTitle, QStringLiteral("文件包不存在！"));

    const QString hint = QStringLiteral("正在导入文档模板包...");
    SplashProcess process;
    process.start(hint, m_window);
    ImportReport report;
    try {
        report = zq::importPackage(m_window->database(), path, splashProgress(process, hint));
    } catch (const PackageError& e) {
        process.stop();
        if (e.kind() == PackageError::Kind::Extraction)
            return dialogs().error(application(), QStringLiteral("提示"), e.message(), e.details());
        return dialogs().error(m_window, kTitle, e.message());
    }
    process.stop();
    m_window->loadTree();
    m_window->fillDocList(m_window->classTree()->currentItem());

    const QString message = QStringLiteral("模板文件导入成功！\n") + report.summary();
    if (report.refused.isEmpty())
        dialogs().inform(m_window, kTitle, message);
    else
        dialogs().inform(m_window, kTitle, message, report.refused.join('\n'));
}

} // namespace zq
