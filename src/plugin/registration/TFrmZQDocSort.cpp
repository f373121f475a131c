#include "registration/TFrmZQDocSort.h"

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

TFrmZQDocSort::TFrmZQDocSort(QWidget* owner, const QSqlDatabase& db)
    : QDialog(owner)
    , m_db(db)
    , tvwOrg(new QTreeWidget(this))
    , BtBtnOK(placeButton(this, QStringLiteral("BtBtnOK"), QStringLiteral("确定(&O)"), 60, 299))
    , BtBtnCancel(
          placeButton(this, QStringLiteral("BtBtnCancel"), QStringLiteral("取消(&C)"), 181, 299)) {
    setObjectName(QStringLiteral("FrmZQDocSort"));
    setWindowTitle(QStringLiteral("注册文档模板"));
    setFixedSize(311, 329);

    tvwOrg->setObjectName(QStringLiteral("tvwOrg"));
    tvwOrg->setGeometry(12, 12, 288, 279);
    tvwOrg->header()->hide();
    tvwOrg->setRootIsDecorated(false);
    tvwOrg->setIndentation(19);
    tvwOrg->setEditTriggers(QAbstractItemView::NoEditTriggers);
    connect(tvwOrg, &QTreeWidget::itemDoubleClicked, this, &TFrmZQDocSort::tvwOrgDblClick);

    connect(BtBtnOK, &QPushButton::clicked, this, &TFrmZQDocSort::BtBtnOKClick);
    connect(BtBtnCancel, &QPushButton::clicked, this, &QDialog::reject);

    guarded(this, [&] { FillTemplateTree(tvwOrg, m_db); });
}

void TFrmZQDocSort::BtBtnOKClick() {
    tvwOrgDblClick();
}

void TFrmZQDocSort::tvwOrgDblClick() {
    guarded(this, [&] {
        HostPlatform& host = hostPlatform();
        if (!ProjectOpenForRegistration(host))
            return;
        const QTreeWidgetItem* node = tvwOrg->selectedItems().value(0);
        if (!node || node == tvwOrg->topLevelItem(0) || imageIndex(node) == kClassImage)
            return;
        const TDocNodeInfo doc = TDocNodeInfo::fromList(nodeRecord(node));
        if (ExistingTemplateFile(doc.DocFileName).isEmpty())
            return;
        const int itemId = RegisterTemplateDoc(host, doc, ParentIdSource::Fixed);
        if (itemId < 0)
            return;
        ViewRegisteredItem(host, itemId);
        accept();
    });
}

} // namespace zq
