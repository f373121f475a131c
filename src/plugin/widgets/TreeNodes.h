#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

class QTreeWidget;
class QTreeWidgetItem;

namespace zq {

struct ClassRecord;

// Records and image indices live on tree items: the record's fields as a QStringList in
// Qt::UserRole, the image index as an int in Qt::UserRole + 1 (which also sets the icon).
constexpr int kRecordRole = Qt::UserRole;
constexpr int kImageRole = Qt::UserRole + 1;

void setNodeRecord(QTreeWidgetItem* item, const QStringList& record);
QStringList nodeRecord(const QTreeWidgetItem* item);
bool hasNodeRecord(const QTreeWidgetItem* item);
void setImageIndex(QTreeWidgetItem* item, int index);
int imageIndex(const QTreeWidgetItem* item);

// The text of the root node of every class tree.
QString rootNodeText();

// How loadClassTree shapes a class node's record.
enum class ClassRecordForm {
    ClassRecord,    // code, name, description
    TemplateRecord, // seven fields, the class in classCode, caption and memo
};

// The root and every class as items outside any tree, placed by code depth, each with its
// record and the one shared class icon: built apart, they join a tree at once. Each is a
// ClassNodeItem, for trees that add templates when a class is opened.
// One class's node, as makeClassItems makes each.
QTreeWidgetItem* newClassNode(const ClassRecord& row,
                              ClassRecordForm form = ClassRecordForm::ClassRecord);

struct ClassItems {
    QList<QTreeWidgetItem*> topLevel; // the root, then any class placed beside it
    QList<QTreeWidgetItem*> nodes;    // the root, then every class in code order
};
ClassItems makeClassItems(const QSqlDatabase& db,
                          ClassRecordForm form = ClassRecordForm::ClassRecord);

// Replaces the tree's contents with the given top-level items and what hangs below them, in one
// insertion with painting held back.
void setTreeItems(QTreeWidget* tree, const QList<QTreeWidgetItem*>& topLevel);

// Replaces the tree's contents with the root and every class, placed by code depth. One
// statement whatever the number of classes.
void loadClassTree(QTreeWidget* tree, const QSqlDatabase& db,
                   ClassRecordForm form = ClassRecordForm::ClassRecord);

// The class code on a node: the first field of a ClassRecord, the seventh of a TemplateRecord.
QString nodeClassCode(const QTreeWidgetItem* item);

// "\" + the texts from the root down to the node; the empty text for no node.
QString classPathText(const QTreeWidgetItem* item);

// Every item of the tree, in tree order (top to bottom, depth first).
QList<QTreeWidgetItem*> treeItems(const QTreeWidget* tree);

} // namespace zq
