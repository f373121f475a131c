#include "ui/ManagerPackages.h"

#include "exchange/PackageReader.h"
#include "ui/ManagerView.h"
#include "ui/PackageExportDialog.h"
#include "ui/ProgressSplash.h"
#include "widgets/DialogService.h"
#include "widgets/UiReferences.h"

#include <QAction>
#include <QFileInfo>
#include <QTreeWidget>
#include <memory>

namespace zq {

ManagerPackages::ManagerPackages(ManagerView& view)
    : QObject(view.widget())
    , m_view(view) {
    view.actions().bind(ManagerAction::Export, this, [this] { exportPackage(); });
    view.actions().bind(ManagerAction::Import, this, [this] { importPackage(); });
}

void ManagerPackages::exportPackage() {
    std::unique_ptr<PackageExportDialog> dialog;
    {
        SplashProcess process;
        process.start(QStringLiteral("正在收集文档模板..."), m_view.widget());
        dialog = std::make_unique<PackageExportDialog>(application(), m_view.database());
    }
    dialogs().exec(dialog.get());
}

void ManagerPackages::importPackage() {
    const QString path =
        dialogs().chooseOpenFile(m_view.widget(), QStringLiteral("导入文档模板"), QString(),
                                 QStringLiteral("模板管理导出包(*.TempFile)"));
    if (path.isEmpty())
        return;
    if (!QFileInfo(path).isFile())
        return dialogs().inform(m_view.widget(), noticeTitle(), QStringLiteral("文件包不存在！"));

    const QString hint = QStringLiteral("正在导入文档模板包...");
    SplashProcess process;
    process.start(hint, m_view.widget());
    ImportReport report;
    try {
        report = zq::importPackage(m_view.database(), path, splashProgress(process, hint));
    } catch (const PackageError& e) {
        process.stop();
        if (e.kind() == PackageError::Kind::Extraction)
            return dialogs().error(application(), QStringLiteral("提示"), e.message(), e.details());
        return dialogs().error(m_view.widget(), noticeTitle(), e.message(), e.details());
    }
    process.stop();
    m_view.loadTree();
    m_view.fillDocList(m_view.classTree()->currentItem());

    const QString message = QStringLiteral("模板文件导入成功！\n") + report.summary();
    if (report.refused.isEmpty())
        dialogs().inform(m_view.widget(), noticeTitle(), message);
    else
        dialogs().inform(m_view.widget(), noticeTitle(), message, report.refused.join('\n'));
}

} // namespace zq
