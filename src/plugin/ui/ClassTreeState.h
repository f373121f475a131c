#pragma once

#include <QHash>
#include <QObject>
#include <QStringList>

class QTreeWidget;
class QTreeWidgetItem;

namespace zq {

// The class tree's view across a rebuild: which classes are open and which is selected, by
// code, and the node of a code.
class ClassTreeState : public QObject {
public:
    explicit ClassTreeState(QTreeWidget* tree);

    void save();
    // Opens again the root and every node that was open, with its ancestors, and selects the
    // node that was selected, or its nearest surviving ancestor.
    void restore();
    // The tree's node of a code (the last in tree order), through a table rebuilt after the tree
    // changes.
    QTreeWidgetItem* node(const QString& code) const;

private:
    QTreeWidget* m_tree;
    mutable QHash<QString, QTreeWidgetItem*> m_nodesByCode; // empty until asked for
    QStringList m_expandedCodes;
    QString m_selectedCode;
};

} // namespace zq
