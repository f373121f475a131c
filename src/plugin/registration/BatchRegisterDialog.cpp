#include "registration/BatchRegisterDialog.h"

#include "catalogue/TemplateDocuments.h"
#include "catalogue/TemplateRegistration.h"
#include "registration/TemplateTree.h"
#include "ui/DialogControls.h"
#include "ui/DialogService.h"
#include "ui/TreeNodes.h"

#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>

namespace zq {

namespace {

// Registers the ticked templates below the node, entering every class that is not unchecked.
// A missing file or a refusal ends this node's walk; its parent's walk goes on. `succeeded`
// tells whether the last registration attempted went through.
void registerChecked(HostPlatform& host, const QTreeWidgetItem* node, bool& succeeded) {
    for (int i = 0; i < node->childCount(); ++i) {
        const QTreeWidgetItem* child = node->child(i);
        if (child->childCount() > 0) {
            if (child->checkState(0) != Qt::Unchecked)
                registerChecked(host, child, succeeded);
            continue;
        }
        if (child->checkState(0) != Qt::Checked || imageIndex(child) == kClassImage ||
            !hasNodeRecord(child))
            continue;
        const TemplateRecord doc = TemplateRecord::fromList(nodeRecord(child));
        if (existingTemplateFile(doc.fileName).isEmpty())
            return;
        succeeded = registerTemplateDoc(host, doc, ParentIdSource::Remembered) >= 0;
        if (!succeeded)
            return;
    }
}

} // namespace

BatchRegisterDialog::BatchRegisterDialog(QWidget* owner, const QSqlDatabase& db)
    : QDialog(owner)
    , m_db(db)
    , m_tree(new QTreeWidget(this))
    , m_okButton(placeButton(this, QStringLiteral("BtBtnOK"), QStringLiteral("确定(&O)"), 58, 298))
    , m_cancelButton(
          placeButton(this, QStringLiteral("BtBtnCancel"), QStringLiteral("取消(&C)"), 179, 298)) {
    setObjectName(QStringLiteral("FrmZQMoreDocSort"));
    setWindowTitle(QStringLiteral("批量注册系统模板"));
    setFixedSize(310, 329);

    m_tree->setObjectName(QStringLiteral("tvwOrg"));
    m_tree->setGeometry(12, 12, 286, 277);
    m_tree->header()->hide();
    m_tree->setIndentation(19);
    m_tree->setAllColumnsShowFocus(true);
    m_tree->setEditTriggers(QAbstractItemView::NoEditTriggers);

    connect(m_okButton, &QPushButton::clicked, this, &BatchRegisterDialog::acceptIfValid);
    connect(m_cancelButton, &QPushButton::clicked, this, &QDialog::reject);

    guarded(this, [&] { fillTemplateTree(m_tree, m_db); });
    // Ticking a node ticks everything below it; a node with children shows their summary.
    for (QTreeWidgetItem* item : treeItems(m_tree)) {
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable | Qt::ItemIsAutoTristate);
        item->setCheckState(0, Qt::Unchecked);
    }
}

void BatchRegisterDialog::acceptIfValid() {
    guarded(this, [&] {
        HostPlatform& host = hostPlatform();
        // Each batch answers for itself: only its own last registration decides.
        bool succeeded = false;
        if (projectOpenForRegistration(host) && m_tree->topLevelItemCount() > 0) {
            host.SetOldParentID(-1);
            registerChecked(host, m_tree->topLevelItem(0), succeeded);
        }
        if (succeeded)
            accept();
    });
}

} // namespace zq
