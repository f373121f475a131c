#include "registration/TemplateTree.h"

#include "catalogue/TemplateDocuments.h"
#include "ui/TreeNodes.h"

#include <QHash>
#include <QTreeWidget>

namespace zq {

void FillTemplateTree(QTreeWidget* tree, const QSqlDatabase& db) {
    LoadClassTree(tree, db);
    // Only class nodes take templates: a template's DocID may read like a class code.
    QHash<QString, QTreeWidgetItem*> classNodes;
    for (QTreeWidgetItem* item : treeItems(tree)) {
        const QString code = nodeClassCode(item);
        if (!classNodes.contains(code))
            classNodes.insert(code, item);
    }

    for (const TDocNodeInfo& doc : ReadAllTemplates(db)) {
        QTreeWidgetItem* parent = classNodes.value(doc.DocSortID);
        if (!parent)
            continue;
        auto* item = new QTreeWidgetItem(parent, {doc.DocCaption});
        setNodeRecord(item, doc.toList(TDocNodeInfo::Form::SixFields));
        setImageIndex(item, kCatalogueTemplateImage);
    }
    tree->setCurrentItem(tree->topLevelItem(0));
    tree->expandAll();
}

} // namespace zq
