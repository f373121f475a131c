#include "ui/TreeNodes.h"

#include "catalogue/ClassCatalogue.h"
#include "catalogue/NodeRecords.h"
#include "catalogue/TemplateDocuments.h"
#include "ui/ImageList.h"

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
    return QStringLiteral("文档模板分类信息");
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

void loadClassTree(QTreeWidget* tree, const QSqlDatabase& db, ClassRecordForm form) {
    const QList<ClassRecord> rows = readClassRows(db);
    const QList<int> parents = classTreeParents(rows);

    tree->setUpdatesEnabled(false);
    tree->clear();
    auto* root = new QTreeWidgetItem(tree, {rootNodeText()});
    setNodeRecord(root, recordOfClass({}, form));
    setImageIndex(root, kClassImage);

    QList<QTreeWidgetItem*> nodes;
    nodes.reserve(rows.size());
    for (qsizetype i = 0; i < rows.size(); ++i) {
        QTreeWidgetItem* item = nullptr;
        switch (parents[i]) {
        case kTopLevel:
            item = new QTreeWidgetItem(tree);
            break;
        case kUnderRoot:
            item = new QTreeWidgetItem(root);
            break;
        default:
            item = new QTreeWidgetItem(nodes[parents[i]]);
        }
        item->setText(0, rows[i].name);
        setNodeRecord(item, recordOfClass(rows[i], form));
        setImageIndex(item, kClassImage);
        nodes.append(item);
    }
    tree->setUpdatesEnabled(true);
}

QString nodeClassCode(const QTreeWidgetItem* item) {
    const QStringList record = nodeRecord(item);
    return record.size() >= 7 ? record[6] : record.value(0);
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
