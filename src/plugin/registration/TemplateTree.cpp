#include "registration/TemplateTree.h"

#include "catalogue/TemplateDocuments.h"
#include "ui/TreeNodes.h"

#include <QHash>
#include <QTreeWidget>

namespace zq {

void fillTemplateTree(QTreeWidget* tree, const QSqlDatabase& db) {
    loadClassTree(tree, db);
    // Only class nodes take templates: a template's DocID may read like a class code.
    QHash<QString, QTreeWidgetItem*> classNodes;
    for (QTreeWidgetItem* item : treeItems(tree)) {
        const QString code = nodeClassCode(item);
        if (!classNodes.contains(code))
            classNodes.insert(code, item);
    }

    for (const TemplateRecord& doc : readAllTemplates(db)) {
        QTreeWidgetItem* parent = classNodes.value(doc.classCode);
        if (!parent)
            continue;
        auto* item = new QTreeWidgetItem(parent, {doc.caption});
        setNodeRecord(item, doc.toList(TemplateRecord::Form::SixFields));
        setImageIndex(item, kCatalogueTemplateImage);
    }
    tree->setCurrentItem(tree->topLevelItem(0));
    tree->expandAll();
}

} // namespace zq
