#include "ui/ManagerHistory.h"

#include "ui/HistoryWindow.h"
#include "ui/ManagerView.h"
#include "ui/RecycleBinWindow.h"
#include "ui/VersionsWindow.h"
#include "widgets/DialogService.h"
#include "widgets/ReportListModel.h"
#include "widgets/TreeNodes.h"
#include "widgets/UiReferences.h"

#include <QAction>
#include <QMenu>
#include <QToolBar>

namespace zq {

ManagerHistory::ManagerHistory(ManagerView& view)
    : QObject(view.widget())
    , m_view(view) {
    QWidget* window = view.widget();
    auto* catalogue = new QAction(QStringLiteral("历史记录"), window);
    catalogue->setObjectName(QStringLiteral("ActHistory"));
    catalogue->setToolTip(QStringLiteral("模板目录的历史记录"));
    view.toolBar()->addAction(catalogue);
    auto* object = new QAction(QStringLiteral("历史记录"), window);
    object->setObjectName(QStringLiteral("ActObjectHistory"));
    for (QMenu* popup : {view.classMenu(), view.docMenu()}) {
        popup->addSeparator();
        popup->addAction(object);
    }
    auto* versions = new QAction(QStringLiteral("历史版本"), window);
    versions->setObjectName(QStringLiteral("ActVersions"));
    view.docMenu()->addAction(versions);
    connect(versions, &QAction::triggered, this,
            [this] { guarded(m_view.widget(), [this] { showVersions(); }); });
    auto* bin = new QAction(QStringLiteral("回收站"), window);
    bin->setObjectName(QStringLiteral("ActRecycleBin"));
    view.toolBar()->addAction(bin);
    view.classMenu()->addAction(bin);
    connect(bin, &QAction::triggered, this,
            [this] { guarded(m_view.widget(), [this] { showRecycleBin(); }); });
    connect(catalogue, &QAction::triggered, this,
            [this] { guarded(m_view.widget(), [this] { showCatalogueHistory(); }); });
    connect(object, &QAction::triggered, this,
            [this] { guarded(m_view.widget(), [this] { showObjectHistory(); }); });
}

void ManagerHistory::showCatalogueHistory() {
    HistoryWindow window(application(), m_view.database());
    dialogs().exec(&window);
}

// The list's selected row, else the tree's selected class; the root's is the whole catalogue.
void ManagerHistory::showObjectHistory() {
    HistoryFilter filter;
    if (const ReportRow* row = m_view.selectedRow()) {
        if (row->isClass())
            filter.classCode = row->idText();
        else
            filter.docId = row->idText().toLongLong();
    } else if (const QTreeWidgetItem* node = m_view.selectedNode()) {
        filter.classCode = nodeClassCode(node);
    }
    HistoryWindow window(application(), m_view.database(), filter);
    dialogs().exec(&window);
}

void ManagerHistory::showVersions() {
    const ReportRow* row = m_view.selectedRow();
    if (!row || row->isClass())
        return;
    VersionsWindow window(application(), m_view.database(), row->docId, row->caption);
    dialogs().exec(&window);
}

// What was restored shows at once; the view is kept.
void ManagerHistory::showRecycleBin() {
    RecycleBinWindow window(application(), m_view.database());
    dialogs().exec(&window);
    m_view.saveTreeState();
    m_view.reloadKeepingView();
}

} // namespace zq
