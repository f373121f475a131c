#include "registration/TemplateTree.h"

#include "widgets/ClassNodeItem.h"
#include "widgets/TreeNodes.h"

#include <QTreeWidget>

namespace zq {

void fillTemplateTree(QTreeWidget* tree, const QSqlDatabase& db, TemplateTreeChecks checks) {
    const ClassItems items = makeClassItems(db);
    for (QTreeWidgetItem* item : items.nodes)
        static_cast<ClassNodeItem*>(item)->setTemplatesPending(true);
    if (checks == TemplateTreeChecks::Unchecked) {
        // States first, the summary of the children after: set the other way round, each node
        // would walk its subtree again.
        for (QTreeWidgetItem* item : items.nodes) {
            item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
            item->setCheckState(0, Qt::Unchecked);
        }
        for (QTreeWidgetItem* item : items.nodes)
            item->setFlags(item->flags() | Qt::ItemIsAutoTristate);
    }
    setTreeItems(tree, items.topLevel);
    // Filled again when the catalogue changes: the tree is watched once.
    if (!tree->property("zqFillsWhenOpened").toBool()) {
        fillTemplatesWhenOpened(tree, db, kTemplateTreeForm);
        tree->setProperty("zqFillsWhenOpened", true);
    }
    if (QTreeWidgetItem* root = tree->topLevelItem(0)) {
        root->setExpanded(true);
        tree->setCurrentItem(root);
    }
}

} // namespace zq
