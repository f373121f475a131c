#include "registration/TemplateTreeState.h"

#include "catalogue/CatalogueFollower.h"
#include "catalogue/ClassCatalogue.h"
#include "registration/TemplateTree.h"
#include "widgets/ClassNodeItem.h"
#include "widgets/DialogControls.h"
#include "widgets/DialogService.h"
#include "widgets/TreeNodes.h"

#include <QScrollBar>
#include <QTreeWidget>

namespace zq {

namespace {

const ClassNodeItem* classNode(const QTreeWidgetItem* item) {
    return dynamic_cast<const ClassNodeItem*>(item);
}

// A class node by "c" and its code, a template node by "t" and its DocID.
QString nodeKey(const QTreeWidgetItem* item) {
    if (classNode(item))
        return QLatin1Char('c') + nodeClassCode(item);
    return QLatin1Char('t') + nodeRecord(item).value(0);
}

} // namespace

void TemplateTreeState::save(const QTreeWidget* tree) {
    m_scroll = tree->verticalScrollBar()->value();
    const QTreeWidgetItem* selected = tree->selectedItems().value(0);
    m_selected = selected ? nodeKey(selected) : QString();
    m_selectedClass.clear();
    for (const QTreeWidgetItem* item = selected; item; item = item->parent())
        if (classNode(item)) {
            m_selectedClass = nodeClassCode(item);
            break;
        }
    m_open.clear();
    m_filled.clear();
    m_checks.clear();
    for (const QTreeWidgetItem* item : treeItems(tree)) {
        const ClassNodeItem* node = classNode(item);
        if (node && item->isExpanded())
            m_open.append(nodeClassCode(item));
        if (node && !node->templatesPending())
            m_filled.append(nodeClassCode(item));
        if (item->flags() & Qt::ItemIsUserCheckable)
            m_checks.insert(nodeKey(item), node && node->templatesPending() ? node->ownCheck()
                                                                            : item->checkState(0));
    }
}

bool TemplateTreeState::restore(QTreeWidget* tree, const QSqlDatabase& db) const {
    QHash<QString, QTreeWidgetItem*> classes;
    for (QTreeWidgetItem* item : treeItems(tree))
        if (classNode(item))
            classes.insert(nodeClassCode(item), item);
    for (const QString& code : m_filled)
        if (QTreeWidgetItem* node = classes.value(code))
            fillPendingTemplates(node, db, kTemplateTreeForm);
    for (const QString& code : m_open)
        if (QTreeWidgetItem* node = classes.value(code))
            node->setExpanded(true);
    // In tree order, so that a class's tick reaches below before its own sub-classes' ticks.
    QTreeWidgetItem* selected = nullptr;
    for (QTreeWidgetItem* item : treeItems(tree)) {
        const QString key = nodeKey(item);
        const ClassNodeItem* node = classNode(item);
        if ((item->flags() & Qt::ItemIsUserCheckable) && (!node || node->templatesPending()))
            item->setCheckState(0, Qt::CheckState(m_checks.value(key, Qt::Unchecked)));
        if (key == m_selected)
            selected = item;
    }
    const bool found = selected || m_selected.isEmpty();
    for (QString code = m_selectedClass; !selected; code = parentClassCode(code)) {
        selected = classes.value(code);
        if (code.isEmpty())
            break;
    }
    if (selected) {
        for (QTreeWidgetItem* parent = selected->parent(); parent; parent = parent->parent())
            parent->setExpanded(true);
        tree->setCurrentItem(selected);
    }
    tree->verticalScrollBar()->setValue(m_scroll);
    return found;
}

void followCatalogue(QWidget* dialog, QTreeWidget* tree, QLabel* status, const QSqlDatabase& db,
                     TemplateTreeChecks checks) {
    auto* follower = new CatalogueFollower(dialog, db);
    QObject::connect(follower, &CatalogueFollower::changesArrived, dialog, [=] {
        guarded(dialog, [=] {
            TemplateTreeState state;
            state.save(tree);
            fillTemplateTree(tree, db, checks);
            if (!state.restore(tree, db))
                showStatus(status, CatalogueFollower::vanishedTemplateText());
        });
    });
    QObject::connect(follower, &CatalogueFollower::connectionLost, dialog, [=](bool lost) {
        showStatus(status, CatalogueFollower::connectionText(lost));
    });
}

} // namespace zq
