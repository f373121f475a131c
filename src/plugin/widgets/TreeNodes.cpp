#include "widgets/TreeNodes.h"

#include "catalogue/ClassCatalogue.h"
#include "catalogue/NodeRecords.h"
#include "catalogue/TemplateDocuments.h"
#include "widgets/ClassNodeItem.h"
#include "widgets/Icons.h"

#include <QTreeWidget>

namespace zq {

void setNodeRecord(QTreeWidgetItem* item, const QStringList& record) {
    item->setData(0, kRecordRole, record);
}

QStringList nodeRecord(const QTreeWidgetItem* item) {
    return item ? item->data(0, kRecordRole).toStringList() : QStringList();
}

bool hasNodeRecord(const QTreeWidgetItem* item) {
    return item && item->data(0, kRecordRole).isValid();
}

void setImageIndex(QTreeWidgetItem* item, int index) {
    item->setData(0, kImageRole, index);
    item->setIcon(0, imageListIcon(index));
}

int imageIndex(const QTreeWidgetItem* item) {
    return item ? item->data(0, kImageRole).toInt() : -1;
}

QString rootNodeText() {
    return rootClassName();
}

namespace {

QStringList recordOfClass(const ClassRecord& row, ClassRecordForm form) {
    if (form == ClassRecordForm::ClassRecord)
        return row.toList();
    TemplateRecord info;
    info.classCode = row.code;
    info.caption = row.name;
    info.memo = row.memo;
    return info.toList(TemplateRecord::Form::SevenFields);
}

} // namespace

QTreeWidgetItem* newClassNode(const ClassRecord& row, ClassRecordForm form) {
    auto* item = new ClassNodeItem(QStringList{row.code.isEmpty() ? rootNodeText() : row.name});
    setNodeRecord(item, recordOfClass(row, form));
    return item;
}

ClassItems makeClassItems(const QSqlDatabase& db, ClassRecordForm form) {
    const QList<ClassRecord> rows = readClassRows(db);
    const QList<int> parents = classTreeParents(rows);

    ClassItems items;
    items.nodes.reserve(rows.size() + 1);
    QTreeWidgetItem* root = newClassNode({}, form);
    items.nodes.append(root);
    items.topLevel.append(root);
    for (qsizetype i = 0; i < rows.size(); ++i) {
        QTreeWidgetItem* item = newClassNode(rows[i], form);
        items.nodes.append(item);
        switch (parents[i]) {
        case kTopLevel:
            items.topLevel.append(item);
            break;
        case kUnderRoot:
            root->addChild(item);
            break;
        default:
            items.nodes[parents[i] + 1]->addChild(item);
        }
    }
    return items;
}

void setTreeItems(QTreeWidget* tree, const QList<QTreeWidgetItem*>& topLevel) {
    tree->setUpdatesEnabled(false);
    tree->clear();
    tree->addTopLevelItems(topLevel);
    tree->setUpdatesEnabled(true);
}

void loadClassTree(QTreeWidget* tree, const QSqlDatabase& db, ClassRecordForm form) {
    setTreeItems(tree, makeClassItems(db, form).topLevel);
}

QString nodeClassCode(const QTreeWidgetItem* item) {
    const QStringList record = nodeRecord(item);
    return record.size() >= 7 ? TemplateRecord::fromList(record).classCode
                              : ClassRecord::fromList(record).code;
}

QString classPathText(const QTreeWidgetItem* item) {
    if (!item)
        return {};
    return classPathText(item->parent()) + QLatin1Char('\\') + item->text(0);
}

QList<QTreeWidgetItem*> treeItems(const QTreeWidget* tree) {
    QList<QTreeWidgetItem*> items;
    for (QTreeWidgetItemIterator it(const_cast<QTreeWidget*>(tree)); *it; ++it)
        items.append(*it);
    return items;
}

} // namespace zq
