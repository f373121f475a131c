#include "registration/TFrmZQMoreDocSort.h"

#include "catalogue/TemplateDocuments.h"
#include "registration/Registration.h"
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
        const TDocNodeInfo doc = TDocNodeInfo::fromList(nodeRecord(child));
        if (ExistingTemplateFile(doc.DocFileName).isEmpty())
            return;
        succeeded = RegisterTemplateDoc(host, doc, ParentIdSource::Remembered) >= 0;
        if (!succeeded)
            return;
    }
}

} // namespace

TFrmZQMoreDocSort::TFrmZQMoreDocSort(QWidget* owner, const QSqlDatabase& db)
    : QDialog(owner)
    , m_db(db)
    , tvwOrg(new QTreeWidget(this))
    , BtBtnOK(placeButton(this, QStringLiteral("BtBtnOK"), QStringLiteral("确定(&O)"), 58, 298))
    , BtBtnCancel(
          placeButton(this, QStringLiteral("BtBtnCancel"), QStringLiteral("取消(&C)"), 179, 298)) {
    setObjectName(QStringLiteral("FrmZQMoreDocSort"));
    setWindowTitle(QStringLiteral("批量注册系统模板"));
    setFixedSize(310, 329);

    tvwOrg->setObjectName(QStringLiteral("tvwOrg"));
    tvwOrg->setGeometry(12, 12, 286, 277);
    tvwOrg->header()->hide();
    tvwOrg->setIndentation(19);
    tvwOrg->setAllColumnsShowFocus(true);
    tvwOrg->setEditTriggers(QAbstractItemView::NoEditTriggers);

    connect(BtBtnOK, &QPushButton::clicked, this, &TFrmZQMoreDocSort::BtBtnOKClick);
    connect(BtBtnCancel, &QPushButton::clicked, this, &QDialog::reject);

    guarded(this, [&] { FillTemplateTree(tvwOrg, m_db); });
    // Ticking a node ticks everything below it; a node with children shows their summary.
    for (QTreeWidgetItem* item : treeItems(tvwOrg)) {
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable | Qt::ItemIsAutoTristate);
        item->setCheckState(0, Qt::Unchecked);
    }
}

void TFrmZQMoreDocSort::BtBtnOKClick() {
    guarded(this, [&] {
        HostPlatform& host = hostPlatform();
        // Each batch answers for itself: only its own last registration decides.
        bool succeeded = false;
        if (ProjectOpenForRegistration(host) && tvwOrg->topLevelItemCount() > 0) {
            host.SetOldParentID(-1);
            registerChecked(host, tvwOrg->topLevelItem(0), succeeded);
        }
        if (succeeded)
            accept();
    });
}

} // namespace zq
