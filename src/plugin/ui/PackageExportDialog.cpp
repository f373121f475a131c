#include "ui/PackageExportDialog.h"

#include "exchange/PackageWriter.h"
#include "platform/HostPlatform.h"
#include "ui/ProgressSplash.h"
#include "ui/SelectionTreeView.h"
#include "util/FileUtil.h"
#include "widgets/ClassNodeItem.h"
#include "widgets/DialogControls.h"
#include "widgets/DialogService.h"
#include "widgets/Icons.h"
#include "widgets/UiReferences.h"
#include "widgets/ViewLayout.h"

#include <QPushButton>
#include <QTreeWidget>

namespace zq {

PackageExportDialog::PackageExportDialog(QWidget* owner, const QSqlDatabase& db)
    : QDialog(owner)
    , m_db(db) {
    setObjectName(QStringLiteral("FrmZQTemplateDocPack"));
    setWindowTitle(QStringLiteral("模板文件导出"));
    setFixedSize(310, 329);

    m_tree = new QTreeWidget(this);
    m_tree->setObjectName(QStringLiteral("tvwOrg"));
    m_tree->setGeometry(12, 12, 286, 277);
    m_tree->setHeaderHidden(true);
    m_tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_tree->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_tree->setAllColumnsShowFocus(true);
    keepSelectionVisible(m_tree);
    showWholeLabels(m_tree);

    QPushButton* ok =
        placeButton(this, QStringLiteral("BtBtnOK"), QStringLiteral("确定(&O)"), 143, 298);
    QPushButton* cancel =
        placeButton(this, QStringLiteral("BtBtnCancel"), QStringLiteral("取消(&C)"), 226, 298);
    acceptOnEnter(ok);
    connect(ok, &QPushButton::clicked, this, [this] { guarded(this, [&] { exportPackage(); }); });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    fillTemplatesWhenOpened(m_tree, db, kSelectionForm);
    fillSelectionView(m_tree, fillSelectionTree(db), true);
    m_tree->setFocus();
}

SelectionNode PackageExportDialog::selection() const {
    return selectionOfView(m_tree);
}

void PackageExportDialog::exportPackage() {
    m_exportState = NothingExported;
    if (m_tree->topLevelItemCount() == 0)
        return;
    hostPlatform().SetOldParentID(-1);
    const QString desktop = desktopFolder();
    const QString path = dialogs().chooseSaveFile(
        this, windowTitle(),
        (desktop.isEmpty() ? QString() : desktop + QLatin1Char('/')) +
            QStringLiteral("模板管理导出包.TempFile"),
        QStringLiteral("*.TempFile (*.TempFile)"), QStringLiteral("TempFile"));
    if (path.isEmpty())
        return;

    const QString hint = QStringLiteral("正在导出文档模板...");
    SplashProcess process;
    process.start(hint, this);
    PackageResult result;
    try {
        result = writePackage(m_db, selection(), path, splashProgress(process, hint));
    } catch (const Error& e) {
        process.stop();
        m_exportState = ExportFailed;
        dialogs().error(this, noticeTitle(), e.message(), e.details());
        return;
    }
    m_exportState = PackageWritten;
    process.stop();
    if (result.leftOut.isEmpty() && result.altered.isEmpty()) {
        dialogs().inform(this, noticeTitle(), QStringLiteral("模板文件导出成功！"));
    } else {
        // Not a plain success: what the package lacks or carries changed is said, and listed.
        QString text =
            result.templates == 0
                ? QStringLiteral("模板文件包已写成，但其中没有任何模板文件：")
                : QStringLiteral("模板文件包已写成（含 %1 个模板），但与模板库不完全相同：")
                      .arg(result.templates);
        if (!result.leftOut.isEmpty())
            text += QStringLiteral("\n%1 个模板没有导出（文件缺失、不是普通文件或已损坏）。")
                        .arg(result.leftOut.size());
        if (!result.altered.isEmpty())
            text += QStringLiteral("\n%1 项名称或说明中的控制字符已替换为空格。")
                        .arg(result.altered.size());
        dialogs().warn(this, noticeTitle(), text, (result.leftOut + result.altered).join('\n'));
    }
    accept();
}

} // namespace zq
