#include "widgets/ClassNodeItem.h"

#include "catalogue/TemplateDocuments.h"
#include "widgets/DialogService.h"
#include "widgets/Icons.h"
#include "widgets/TreeNodes.h"

#include <QTreeWidget>

namespace zq {

void ClassNodeItem::setData(int column, int role, const QVariant& value) {
    // A tick given to the node reaches it here, also when an ancestor hands it down; the
    // partial state is only ever a summary.
    if (role == Qt::CheckStateRole && column == 0 && value.isValid() &&
        value.toInt() != Qt::PartiallyChecked)
        m_ownCheck = Qt::CheckState(value.toInt());
    QTreeWidgetItem::setData(column, role, value);
}

QVariant ClassNodeItem::data(int column, int role) const {
    QVariant value = QTreeWidgetItem::data(column, role);
    if (value.isValid() || column != 0)
        return value;
    if (role == kImageRole)
        return kClassImage;
    if (role == Qt::DecorationRole)
        return imageListIcon(kClassImage);
    return value;
}

void ClassNodeItem::setTemplatesPending(bool pending) {
    m_templatesPending = pending;
    setChildIndicatorPolicy(pending ? ShowIndicator : DontShowIndicatorWhenChildless);
}

void fillPendingTemplates(QTreeWidgetItem* node, const QSqlDatabase& db,
                          TemplateRecord::Form form) {
    auto* classNode = dynamic_cast<ClassNodeItem*>(node);
    if (!classNode || !classNode->templatesPending())
        return;
    const bool checkable = node->data(0, Qt::CheckStateRole).isValid();
    QList<QTreeWidgetItem*> items;
    for (const TemplateRecord& doc : readClassTemplates(db, nodeClassCode(node))) {
        auto* item = new QTreeWidgetItem(QStringList{doc.caption});
        setNodeRecord(item, doc.toList(form));
        setImageIndex(item, kCatalogueTemplateImage);
        item->setFlags(node->flags());
        if (checkable)
            item->setCheckState(0, classNode->ownCheck());
        items.append(item);
    }
    classNode->setTemplatesPending(false);
    node->addChildren(items);
}

QMetaObject::Connection fillTemplatesWhenOpened(QTreeWidget* tree, const QSqlDatabase& db,
                                                TemplateRecord::Form form) {
    return QObject::connect(tree, &QTreeWidget::itemExpanded, tree, [=](QTreeWidgetItem* item) {
        guarded(tree->window(), [&] { fillPendingTemplates(item, db, form); });
    });
}

} // namespace zq
