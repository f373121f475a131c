#include "ui/ClassTreeState.h"

#include "catalogue/ClassCatalogue.h"
#include "widgets/TreeNodes.h"

#include <QTreeWidget>

namespace zq {

ClassTreeState::ClassTreeState(QTreeWidget* tree)
    : QObject(tree)
    , m_tree(tree) {
    const QAbstractItemModel* model = tree->model();
    const auto forgetNodes = [this] { m_nodesByCode.clear(); };
    connect(model, &QAbstractItemModel::rowsInserted, this, forgetNodes);
    connect(model, &QAbstractItemModel::rowsRemoved, this, forgetNodes);
    connect(model, &QAbstractItemModel::rowsMoved, this, forgetNodes);
    connect(model, &QAbstractItemModel::modelReset, this, forgetNodes);
    connect(model, &QAbstractItemModel::layoutChanged, this, forgetNodes);
    connect(model, &QAbstractItemModel::dataChanged, this, forgetNodes);
}

void ClassTreeState::save() {
    m_expandedCodes.clear();
    for (const QTreeWidgetItem* item : treeItems(m_tree))
        if (item->isExpanded())
            m_expandedCodes.append(nodeClassCode(item));
    if (const QTreeWidgetItem* node = m_tree->selectedItems().value(0))
        m_selectedCode = nodeClassCode(node);
}

QTreeWidgetItem* ClassTreeState::node(const QString& code) const {
    if (m_nodesByCode.isEmpty())
        for (QTreeWidgetItem* item : treeItems(m_tree))
            if (hasNodeRecord(item))
                m_nodesByCode.insert(nodeClassCode(item), item);
    return m_nodesByCode.value(code);
}

// What is selected is what selecting each remembered code in turn would leave selected. The
// tree has no current item yet, so its layout is still pending: opening a node only notes it,
// and the view lays out the whole open tree once, when the selection is set.
void ClassTreeState::restore() {
    QTreeWidgetItem* selected = m_tree->topLevelItem(0);
    if (selected)
        selected->setExpanded(true);
    const auto reveal = [](QTreeWidgetItem* item) {
        for (QTreeWidgetItem* parent = item->parent(); parent; parent = parent->parent())
            parent->setExpanded(true);
    };
    for (const QString& code : std::as_const(m_expandedCodes)) {
        if (QTreeWidgetItem* item = node(code)) {
            reveal(item);
            item->setExpanded(true);
            selected = item;
        }
    }
    // A selected class gone (deleted, moved away) leaves its nearest class above selected.
    QString code = m_selectedCode;
    while (!code.isEmpty() && !node(code))
        code = parentClassCode(code);
    if (QTreeWidgetItem* item = node(code)) {
        reveal(item);
        selected = item;
    }
    if (selected) {
        m_tree->setCurrentItem(selected);
        m_tree->scrollToItem(selected);
    }
    m_tree->setFocus();
}

} // namespace zq
