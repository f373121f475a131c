#include "registration/RegisterTemplateDialog.h"

#include "catalogue/TemplateDocuments.h"
#include "catalogue/TemplateStore.h"
#include "registration/TemplateRegistration.h"
#include "registration/TemplateTree.h"
#include "registration/TemplateTreeState.h"
#include "widgets/DialogControls.h"
#include "widgets/DialogService.h"
#include "widgets/TreeNodes.h"
#include "widgets/ViewLayout.h"

#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>

namespace zq {

RegisterTemplateDialog::RegisterTemplateDialog(QWidget* owner, const QSqlDatabase& db)
    : QDialog(owner)
    , m_db(db)
    , m_tree(new QTreeWidget(this))
    , m_okButton(placeButton(this, QStringLiteral("BtBtnOK"), QStringLiteral("确定(&O)"), 60, 299))
    , m_cancelButton(
          placeButton(this, QStringLiteral("BtBtnCancel"), QStringLiteral("取消(&C)"), 181, 299))
    , m_status(placeStatusLine(this, 12, 330, 288)) {
    setObjectName(QStringLiteral("FrmZQDocSort"));
    setWindowTitle(QStringLiteral("注册文档模板"));
    setFixedSize(311, m_status->geometry().bottom() + 6);

    m_tree->setObjectName(QStringLiteral("tvwOrg"));
    m_tree->setGeometry(12, 12, 288, 279);
    m_tree->header()->hide();
    m_tree->setRootIsDecorated(false);
    m_tree->setIndentation(19);
    showWholeLabels(m_tree);
    m_tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    connect(m_tree, &QTreeWidget::itemDoubleClicked, this,
            &RegisterTemplateDialog::onTreeDoubleClicked);

    acceptOnEnter(m_okButton);
    connect(m_okButton, &QPushButton::clicked, this, &RegisterTemplateDialog::acceptIfValid);
    connect(m_cancelButton, &QPushButton::clicked, this, &QDialog::reject);

    guarded(this, [&] { fillTemplateTree(m_tree, m_db); });
    followCatalogue(this, m_tree, m_status, m_db, TemplateTreeChecks::None);
}

void RegisterTemplateDialog::acceptIfValid() {
    onTreeDoubleClicked();
}

void RegisterTemplateDialog::onTreeDoubleClicked() {
    showStatus(m_status, {});
    guarded(this, [&] {
        HostPlatform& host = hostPlatform();
        QString project;
        if (const QString refusal = projectRefusal(host, &project); !refusal.isEmpty())
            return showStatus(m_status, refusal);
        const QTreeWidgetItem* node = m_tree->selectedItems().value(0);
        if (!node || node == m_tree->topLevelItem(0) || imageIndex(node) == kClassImage)
            return showStatus(m_status, QStringLiteral("请选择要注册的模板，而不是分类。"));
        const TemplateRecord doc = TemplateRecord::fromList(nodeRecord(node));
        if (existingTemplateFile(m_db, doc.fileName).isEmpty())
            return showStatus(
                m_status, QStringLiteral("模板文件不存在：%1").arg(storedFilePath(doc.fileName)));
        const int itemId = registerTemplateDoc(host, m_db, doc, project, ParentIdSource::Fixed);
        if (itemId < 0)
            return showStatus(m_status,
                              QStringLiteral("平台没有接受该模板（返回 %1）。").arg(itemId));
        viewRegisteredItem(host, itemId);
        accept();
    });
}

} // namespace zq
