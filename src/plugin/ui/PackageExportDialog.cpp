#include "ui/PackageExportDialog.h"

#include "exchange/PackageWriter.h"
#include "platform/HostPlatform.h"
#include "platform/UiReferences.h"
#include "ui/DialogControls.h"
#include "ui/DialogService.h"
#include "ui/ImageList.h"
#include "ui/ProgressSplash.h"
#include "ui/TreeNodes.h"
#include "util/FileUtil.h"

#include <QFileInfo>
#include <QPushButton>
#include <QTreeWidget>

namespace zq {

namespace {

const QString kTitle = QStringLiteral("系统提示");
constexpr int kDesktopDirectory = 16;

QTreeWidgetItem* itemOf(const SelectionNode& node, const QString& label) {
    auto* item = new QTreeWidgetItem(QStringList{label});
    setNodeRecord(item, node.record.toList(TemplateRecord::Form::SevenFields));
    setImageIndex(item, node.image);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable |
                   (node.children.isEmpty() ? Qt::NoItemFlags : Qt::ItemIsAutoTristate));
    item->setCheckState(0, Qt::Unchecked);
    QList<QTreeWidgetItem*> children;
    children.reserve(node.children.size());
    for (const SelectionNode& child : node.children)
        children.append(itemOf(child, child.record.caption));
    item->addChildren(children);
    return item;
}

SelectionNode nodeOf(const QTreeWidgetItem* item) {
    SelectionNode node;
    node.record = TemplateRecord::fromList(nodeRecord(item));
    node.image = imageIndex(item);
    node.check = item->childCount() ? Qt::Unchecked : item->checkState(0);
    node.children.reserve(item->childCount());
    for (int i = 0; i < item->childCount(); ++i)
        node.children.append(nodeOf(item->child(i)));
    return node;
}

} // namespace

PackageExportDialog::PackageExportDialog(QWidget* owner, const QSqlDatabase& db)
    : QDialog(owner) {
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

    QPushButton* ok =
        placeButton(this, QStringLiteral("BtBtnOK"), QStringLiteral("确定(&O)"), 143, 298);
    QPushButton* cancel =
        placeButton(this, QStringLiteral("BtBtnCancel"), QStringLiteral("取消(&C)"), 226, 298);
    connect(ok, &QPushButton::clicked, this, [this] { guarded(this, [&] { exportPackage(); }); });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    const QList<SelectionNode> topLevel = fillSelectionTree(db);
    QList<QTreeWidgetItem*> items;
    for (qsizetype i = 0; i < topLevel.size(); ++i)
        items.append(itemOf(topLevel[i], i == 0 ? rootNodeText() : topLevel[i].record.caption));
    m_tree->addTopLevelItems(items);
    if (QTreeWidgetItem* root = m_tree->topLevelItem(0)) {
        m_tree->setCurrentItem(root);
        root->setExpanded(true);
    }
    m_tree->setFocus();
}

SelectionNode PackageExportDialog::selection() const {
    const QTreeWidgetItem* root = m_tree->topLevelItem(0);
    if (!root)
        return {};
    SelectionNode node = nodeOf(root);
    updateCheckStates(node);
    return node;
}

void PackageExportDialog::exportPackage() {
    m_exportState = NothingExported;
    if (m_tree->topLevelItemCount() == 0)
        return;
    hostPlatform().SetOldParentID(-1);
    const QString desktop = shellFolderPath(kDesktopDirectory);
    QString path =
        dialogs().chooseSaveFile(this, windowTitle(),
                                 (desktop.isEmpty() ? QString() : desktop + QLatin1Char('/')) +
                                     QStringLiteral("模板管理导出包.TempFile"),
                                 QStringLiteral("*.TempFile (*.TempFile)"));
    if (path.isEmpty())
        return;
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".TempFile");

    const QString hint = QStringLiteral("正在导出文档模板...");
    SplashProcess process;
    process.start(hint, this);
    PackageResult result;
    try {
        result = writePackage(selection(), path,
                              [&](int done, int total) { process.setProgress(hint, done, total); });
    } catch (const PackageError& e) {
        process.stop();
        m_exportState = ExportFailed;
        dialogs().error(this, kTitle, e.message());
        return;
    }
    m_exportState = PackageWritten;
    process.stop();
    const QString message = QStringLiteral("模板文件导出成功！");
    if (result.leftOut.isEmpty())
        dialogs().inform(this, kTitle, message);
    else
        dialogs().inform(this, kTitle,
                                    message +
                                        QStringLiteral("\n模板库中缺少 %1 个模板文件，没有导出。")
                                            .arg(result.leftOut.size()),
                                    result.leftOut.join('\n'));
    accept();
}

} // namespace zq
