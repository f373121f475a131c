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

bool ManagerFollowing::renameClassNodes(const QList<CatalogueChange>& changes) {
    for (const CatalogueChange& change : changes) {
        QTreeWidgetItem* node = m_view.classNode(change.key);
        const std::optional<ClassRecord> row = readClassRow(m_view.database(), change.key);
        if (!node || !row)
            return false;
        node->setText(0, row->name);
        setNodeRecord(node, row->toList());
    }
    return true;
}

void ManagerFollowing::apply(const QList<CatalogueChange>& changes) {
    const bool renames =
        std::all_of(changes.cbegin(), changes.cend(),
                    [](const CatalogueChange& c) { return c.kind == ChangeKind::ClassRenamed; });
    const bool classes = std::any_of(changes.cbegin(), changes.cend(),
                                     [](const CatalogueChange& c) { return c.changesClasses(); });
    const int treeScroll = m_view.classTree()->verticalScrollBar()->value();
    const int listScroll = m_view.docList()->verticalScrollBar()->value();
    const ReportRow* row = m_view.selectedRow();
    const QString rowId = row ? row->idText() : QString();
    const bool templateRow = row && !row->isClass();
    const QString shown = m_view.selectedNode() ? nodeClassCode(m_view.selectedNode()) : QString();
    if (renames && renameClassNodes(changes)) {
        // The list names the shown class's sub-classes and, on its templates, the class.
        if (std::any_of(changes.cbegin(), changes.cend(), [&](const CatalogueChange& c) {
                return c.key == shown || parentClassCode(c.key) == shown;
            }))
            m_view.fillDocList(m_view.selectedNode());
    } else if (classes) {
        m_view.saveTreeState();
        m_view.reloadKeepingView();
    } else {
        m_view.fillDocList(m_view.selectedNode());
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
