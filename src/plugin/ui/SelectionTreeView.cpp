#include "ui/SelectionTreeView.h"

#include "widgets/ClassNodeItem.h"
#include "widgets/TreeNodes.h"

#include <QTreeWidget>

namespace zq {

namespace {

QTreeWidgetItem* itemOf(const SelectionNode& node, const QString& label, bool checkable) {
    QTreeWidgetItem* item = nullptr;
    if (node.isClass()) {
        auto* classItem = new ClassNodeItem(QStringList{label});
        classItem->setTemplatesPending(node.templatesPending);
        item = classItem;
    } else {
        item = new QTreeWidgetItem(QStringList{label});
    }
    setNodeRecord(item, node.record.toList(kSelectionForm));
    setImageIndex(item, node.image);
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (checkable) {
        flags |= Qt::ItemIsUserCheckable;
        if (node.isClass())
            flags |= Qt::ItemIsAutoTristate;
    }
    item->setFlags(flags);
    if (checkable)
        item->setCheckState(0, Qt::Unchecked);
    QList<QTreeWidgetItem*> children;
    children.reserve(node.children.size());
    for (const SelectionNode& child : node.children)
        children.append(itemOf(child, child.record.caption, checkable));
    item->addChildren(children);
    return item;
}

SelectionNode nodeOf(const QTreeWidgetItem* item) {
    SelectionNode node;
    node.record = TemplateRecord::fromList(nodeRecord(item));
    node.image = imageIndex(item);
    // A class's own tick stands for its pending templates, or for itself when it holds nothing.
    if (const auto* classItem = dynamic_cast<const ClassNodeItem*>(item)) {
        node.check = classItem->ownCheck();
        node.templatesPending = classItem->templatesPending();
    } else {
        node.check = item->checkState(0);
    }
    node.children.reserve(item->childCount());
    for (int i = 0; i < item->childCount(); ++i)
        node.children.append(nodeOf(item->child(i)));
    return node;
}

} // namespace

void fillSelectionView(QTreeWidget* view, const QList<SelectionNode>& topLevel, bool checkable) {
    QList<QTreeWidgetItem*> items;
    for (qsizetype i = 0; i < topLevel.size(); ++i)
        items.append(
            itemOf(topLevel[i], i == 0 ? rootNodeText() : topLevel[i].record.caption, checkable));
    view->clear();
    view->addTopLevelItems(items);
    if (QTreeWidgetItem* root = view->topLevelItem(0)) {
        view->setCurrentItem(root);
        root->setExpanded(true);
    }
}

SelectionNode selectionOfView(const QTreeWidget* view) {
    const QTreeWidgetItem* root = view->topLevelItem(0);
    return root ? nodeOf(root) : SelectionNode();
}

} // namespace zq
