#include "registration/TemplateTree.h"

#include "catalogue/TemplateDocuments.h"
#include "ui/TreeNodes.h"

#include <QHash>
#include <QTreeWidget>

namespace zq {

void fillTemplateTree(QTreeWidget* tree, const QSqlDatabase& db, TemplateTreeChecks checks) {
    ClassItems items = makeClassItems(db);
    // Only class nodes take templates: a template's DocID may read like a class code.
    QHash<QString, QTreeWidgetItem*> classNodes;
    for (QTreeWidgetItem* item : std::as_const(items.nodes)) {
        const QString code = nodeClassCode(item);
        if (!classNodes.contains(code))
            classNodes.insert(code, item);
    }

    QList<QTreeWidgetItem*> all = items.nodes;
    for (const TemplateRecord& doc : readAllTemplates(db)) {
        QTreeWidgetItem* parent = classNodes.value(doc.classCode);
        if (!parent)
            continue;
        auto* item = new QTreeWidgetItem(parent, {doc.caption});
        setNodeRecord(item, doc.toList(TemplateRecord::Form::SixFields));
        setImageIndex(item, kCatalogueTemplateImage);
        all.append(item);
    }
    if (checks == TemplateTreeChecks::Unchecked) {
        // States first, the summary of the children after: set the other way round, each node
        // would walk its subtree again. Nothing is in the tree yet, so nothing is re-measured.
        for (QTreeWidgetItem* item : std::as_const(all)) {
            item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
            item->setCheckState(0, Qt::Unchecked);
        }
        for (QTreeWidgetItem* item : std::as_const(all))
            item->setFlags(item->flags() | Qt::ItemIsAutoTristate);
    }
    setTreeItems(tree, items.topLevel);
    tree->expandAll();
    tree->setCurrentItem(tree->topLevelItem(0));
}

} // namespace zq
