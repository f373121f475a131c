#pragma once

#include "catalogue/NodeRecords.h"

#include <QMetaObject>
#include <QSqlDatabase>
#include <QTreeWidgetItem>

class QTreeWidget;

namespace zq {

// A class node whose templates join the tree only when it is first opened, so that a tree of
// the whole catalogue holds its classes and the templates of the classes opened. Until then it
// shows that it can be opened, and keeps the tick its templates will take: the one last given
// to the node itself, directly or through an ancestor, not the summary of its sub-classes that
// it shows.
class ClassNodeItem : public QTreeWidgetItem {
public:
    using QTreeWidgetItem::QTreeWidgetItem;

    void setData(int column, int role, const QVariant& value) override;
    // The class image unless given another: answered, not kept in each of 10,000 nodes.
    QVariant data(int column, int role) const override;

    bool templatesPending() const { return m_templatesPending; }
    void setTemplatesPending(bool pending);
    Qt::CheckState ownCheck() const { return m_ownCheck; }

private:
    bool m_templatesPending = false;
    Qt::CheckState m_ownCheck = Qt::Unchecked;
};

// Adds a pending class node's templates, as records of the form with the catalogue's template
// image and the node's flags; when the node has a check box, each takes the node's own tick.
// One statement for the class. Anything else is left as it is.
void fillPendingTemplates(QTreeWidgetItem* node, const QSqlDatabase& db, TemplateRecord::Form form);

// Fills each pending class node of the tree when it is first opened; a failure is shown and
// leaves the node pending.
QMetaObject::Connection fillTemplatesWhenOpened(QTreeWidget* tree, const QSqlDatabase& db,
                                                TemplateRecord::Form form);

} // namespace zq
