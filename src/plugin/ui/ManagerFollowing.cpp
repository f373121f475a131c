#include "ui/ManagerFollowing.h"

#include "catalogue/CatalogueFollower.h"
#include "catalogue/ClassCatalogue.h"
#include "ui/ManagerView.h"
#include "widgets/DialogService.h"
#include "widgets/ReportListModel.h"
#include "widgets/TreeNodes.h"

#include <QScrollBar>
#include <QTreeView>
#include <QTreeWidget>
#include <algorithm>

namespace zq {

ManagerFollowing::ManagerFollowing(ManagerView& view)
    : QObject(view.widget())
    , m_view(view)
    , m_follower(new CatalogueFollower(this, view.database())) {
    connect(m_follower, &CatalogueFollower::changesArrived, this,
            [this](const QList<CatalogueChange>& changes) {
                guarded(m_view.widget(), [&] { apply(changes); });
            });
    connect(m_follower, &CatalogueFollower::connectionLost, this,
            [this](bool lost) { m_view.showStatus(CatalogueFollower::connectionText(lost)); });
}

void ManagerFollowing::checkNow() {
    m_follower->checkNow();
}

bool ManagerFollowing::placeClassNodes(const QList<CatalogueChange>& changes) {
    return std::all_of(changes.cbegin(), changes.cend(),
                       [this](const CatalogueChange& c) { return placeClassNode(c); });
}

bool ManagerFollowing::placeClassNode(const CatalogueChange& change) {
    using enum ChangeKind;
    if (!change.changesClasses())
        return true;
    if (change.kind != ClassRenamed && change.kind != ClassAdded && change.kind != ClassDeleted)
        return false;
    QTreeWidgetItem* node = m_view.classNode(change.key);
    const std::optional<ClassRecord> row = readClassRow(m_view.database(), change.key);
    if (!row) {
        if (!node)
            return true;
        // The person's place moves up out of the branch that goes.
        QTreeWidgetItem* parent = node->parent();
        for (QTreeWidgetItem* at = m_view.selectedNode(); at; at = at->parent())
            if (at == node)
                m_view.classTree()->setCurrentItem(parent);
        delete node;
        return true;
    }
    if (node) {
        node->setText(0, row->name);
        setNodeRecord(node, row->toList());
        return true;
    }
    const QString parentCode = parentClassCode(change.key);
    QTreeWidgetItem* parent =
        parentCode.isEmpty() ? m_view.classTree()->topLevelItem(0) : m_view.classNode(parentCode);
    if (!parent)
        return false;
    // Siblings stand in code order, as the tree is read.
    int at = 0;
    while (at < parent->childCount() && nodeClassCode(parent->child(at)) < change.key)
        ++at;
    parent->insertChild(at, newClassNode(*row));
    return true;
}

void ManagerFollowing::apply(const QList<CatalogueChange>& changes) {
    const int treeScroll = m_view.classTree()->verticalScrollBar()->value();
    const int listScroll = m_view.docList()->verticalScrollBar()->value();
    const ReportRow* row = m_view.selectedRow();
    const QString rowId = row ? row->idText() : QString();
    const bool templateRow = row && !row->isClass();
    const QString shown = m_view.selectedNode() ? nodeClassCode(m_view.selectedNode()) : QString();
    if (placeClassNodes(changes)) {
        // The list names the shown class's sub-classes and, on its templates, the class.
        if (std::any_of(changes.cbegin(), changes.cend(), [&](const CatalogueChange& c) {
                return !c.changesClasses() || c.key == shown || parentClassCode(c.key) == shown;
            }))
            m_view.fillDocList(m_view.selectedNode());
    } else {
        m_view.saveTreeState();
        m_view.reloadKeepingView();
    }
    m_view.classTree()->verticalScrollBar()->setValue(treeScroll);
    m_view.docList()->verticalScrollBar()->setValue(listScroll);
    if (rowId.isEmpty())
        return;
    for (int i = 0; i < m_view.docRows().rowCount(); ++i) {
        if (m_view.docRows().row(i).idText() == rowId) {
            m_view.docList()->setCurrentIndex(m_view.docRows().index(i, 0));
            m_view.docList()->verticalScrollBar()->setValue(listScroll);
            return;
        }
    }
    if (templateRow)
        m_view.showStatus(CatalogueFollower::vanishedTemplateText());
}

} // namespace zq
