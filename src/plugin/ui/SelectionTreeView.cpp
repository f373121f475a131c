#include "ui/SelectionTreeView.h"

#include "ui/TreeNodes.h"

#include <QTreeWidget>

namespace zq {

namespace {

QTreeWidgetItem* itemOf(const SelectionNode& node, const QString& label, bool checkable) {
    auto* item = new QTreeWidgetItem(QStringList{label});
    setNodeRecord(item, node.record.toList(TemplateRecord::Form::SevenFields));
    setImageIndex(item, node.image);
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (checkable) {
        flags |= Qt::ItemIsUserCheckable;
        if (!node.children.isEmpty())
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
    node.check = item->childCount() ? Qt::Unchecked : item->checkState(0);
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
    if (!root)
        return {};
    SelectionNode node = nodeOf(root);
    updateCheckStates(node);
    return node;
}

} // namespace zq
