#include "ui/ManagerWindow.h"

#include "catalogue/ClassCatalogue.h"
#include "ui/CatalogueUpkeep.h"
#include "ui/ClassContentsList.h"
#include "ui/ClassTreeState.h"
#include "ui/ManagerClassOperations.h"
#include "ui/ManagerFollowing.h"
#include "ui/ManagerHistory.h"
#include "ui/ManagerMoves.h"
#include "ui/ManagerPackages.h"
#include "ui/ManagerTemplateOperations.h"
#include "ui/SearchDialog.h"
#include "ui/TemplateEditing.h"
#include "util/Error.h"
#include "widgets/DialogControls.h"
#include "widgets/DialogService.h"
#include "widgets/Icons.h"
#include "widgets/ListSorting.h"
#include "widgets/ReportListModel.h"
#include "widgets/TreeNodes.h"
#include "widgets/UiReferences.h"
#include "widgets/ViewLayout.h"

#include <QAction>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QSplitter>
#include <QToolBar>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace zq {

namespace {

QMenu* addSubmenu(QWidget* owner, const QList<QAction*>& actions) {
    auto* menu = new QMenu(QStringLiteral("添加"), owner);
    menu->setIcon(imageListIcon(13));
    menu->addActions(actions);
    return menu;
}

} // namespace

ManagerWindow::ManagerWindow(QWidget* owner, const QSqlDatabase& db)
    : QWidget(owner)
    , m_db(db)
    , m_actions(this) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("审计文档模板管理"));
    resize(618, 473);
    setMinimumSize(480, 360);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, QColor(0xF0, 0xF0, 0xF0));
    setPalette(palette);
    setAutoFillBackground(true);

    createMenus();
    createViews();
    createLayout();
    connectViews();
    bindActions();
    m_treeState = new ClassTreeState(m_classTree);
    m_editing = new TemplateEditing(this, m_db);
    m_classes = new ManagerClassOperations(*this);
    m_templates = new ManagerTemplateOperations(*this, *m_classes);
    m_moves = new ManagerMoves(*this);
    new ManagerHistory(*this);
    new ManagerPackages(*this);
    m_following = new ManagerFollowing(*this);

    // FormCreate: the whole catalogue with the root selected, the list showing its contents.
    // A catalogue that cannot be read is shown as an error; the window still opens.
    if (attempt(this, QStringLiteral("无法读取模板目录"), [this] { loadTree(); }))
        guarded(this, [this] {
            if (const QString problem = prepareCatalogue(this, m_db); !problem.isEmpty())
                showStatus(problem);
        });
    updateActions();
}

void ManagerWindow::bindActions() {
    const auto bind = [this](ManagerAction which, void (ManagerWindow::*handler)()) {
        m_actions.bind(which, this, [this, handler] { (this->*handler)(); });
    };
    bind(ManagerAction::Refresh, &ManagerWindow::refresh);
    bind(ManagerAction::Up, &ManagerWindow::goUp);
    bind(ManagerAction::First, &ManagerWindow::selectFirstRow);
    bind(ManagerAction::Previous, &ManagerWindow::selectPreviousRow);
    bind(ManagerAction::Next, &ManagerWindow::selectNextRow);
    bind(ManagerAction::Last, &ManagerWindow::selectLastRow);
    bind(ManagerAction::Search, &ManagerWindow::search);
}

void ManagerWindow::createMenus() {
    using enum ManagerAction;
    const auto acts = [this](std::initializer_list<ManagerAction> which) {
        return m_actions.list(which);
    };

    m_menuBar = new QMenuBar(this);
    m_menuBar->setObjectName(QStringLiteral("TBToolbar1"));
    QMenu* operations = m_menuBar->addMenu(QStringLiteral("操作(&O)"));
    operations->addMenu(addSubmenu(operations, acts({AddClass, AddTemplate})));
    operations->addActions(acts({DeleteClass, RenameClass, Search}));
    operations->addSeparator();
    operations->addActions(acts({Export, Import}));
    operations->addSeparator();
    operations->addAction(m_actions[Preview]);
    m_menuBar->addSeparator();
    m_menuBar->addActions(acts({First, Previous, Next, Last}));
    // The bar's refresh item is a hidden one: the button bar offers refresh.

    m_toolBar = new QToolBar(this);
    m_toolBar->setObjectName(QStringLiteral("TBToolbar2"));
    m_toolBar->setIconSize(QSize(16, 16));
    m_toolBar->addActions(
        acts({Back, Forward, Up, AddClass, AddTemplate, DeleteTemplate, Refresh, Search}));

    m_classMenu = new QMenu(this);
    m_classMenu->setObjectName(QStringLiteral("TBPpMenuClass"));
    m_classMenu->addMenu(addSubmenu(m_classMenu, acts({AddClass, AddTemplate})));
    m_classMenu->addActions(acts({DeleteClass, RenameClass, Search}));

    m_docMenu = new QMenu(this);
    m_docMenu->setObjectName(QStringLiteral("TBPpMenuDoc"));
    m_docMenu->addMenu(addSubmenu(m_docMenu, acts({AddClass, AddTemplate})));
    m_docMenu->addActions(acts({EditDescription, DeleteTemplate, EditTemplate}));
    m_docMenu->addSeparator();
    m_docMenu->addActions(acts({First, Previous, Next, Last}));
    m_docMenu->addSeparator();
    m_docMenu->addActions(acts({Preview, Register}));
}

void ManagerWindow::createViews() {
    m_classTree = new QTreeWidget;
    m_classTree->setObjectName(QStringLiteral("tvwOrg"));
    m_classTree->setHeaderHidden(true);
    m_classTree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_classTree->setIndentation(19);
    showWholeLabels(m_classTree);
    m_classTree->setSelectionMode(QAbstractItemView::SingleSelection);
    keepSelectionVisible(m_classTree);

    using enum ReportField;
    m_docRows = new ReportListModel(
        {Caption, Memo, ClassName, Id, TypeCaption, FilePath},
        {QStringLiteral("模板名称"), QStringLiteral("模板说明"), QStringLiteral("模板分类")});
    m_docList = newReportList(m_docRows);
    m_docList->setObjectName(QStringLiteral("lvwLog"));
    for (int column : {kColRowId, kColTypeCaption, kColFullPath})
        m_docList->setColumnHidden(column, true);
    fitColumns(m_docList, kColCaption, QStringLiteral("manager"));
}

void ManagerWindow::createLayout() {
    auto* classBox = new QGroupBox(QStringLiteral("文档模板分类"));
    (new QVBoxLayout(classBox))->addWidget(m_classTree);
    auto* listBox = new QGroupBox(QStringLiteral("文档模板列表"));
    (new QVBoxLayout(listBox))->addWidget(m_docList);

    auto* splitter = new QSplitter(Qt::Horizontal);
    splitter->setHandleWidth(7);
    splitter->addWidget(classBox);
    splitter->addWidget(listBox);
    splitter->setCollapsible(1, false);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({173, width() - 173});
    rememberSizes(splitter, QStringLiteral("manager"));

    auto* dock = new QHBoxLayout;
    dock->setContentsMargins(0, 0, 0, 0);
    dock->setSpacing(4);
    dock->addWidget(m_menuBar);
    dock->addWidget(m_toolBar, 1);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(2);
    layout->addLayout(dock);
    layout->addWidget(splitter, 1);
    m_status = new QLabel;
    m_status->setObjectName(QStringLiteral("statusLine"));
    layout->addWidget(m_status);
}

void ManagerWindow::connectViews() {
    connect(m_classTree, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* current) {
        guarded(this, [&] { onClassTreeCurrentChanged(current); });
    });
    connect(m_classTree, &QTreeWidget::itemClicked, this,
            [this] { guarded(this, [&] { onClassTreeClicked(); }); });
    connect(m_classTree, &QTreeWidget::itemSelectionChanged, this, &ManagerWindow::updateActions);
    connect(m_docList->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &ManagerWindow::updateActions);
    connect(m_docList, &QTreeView::doubleClicked, this,
            [this] { guarded(this, [&] { onDocListDoubleClicked(); }); });
    connect(m_docList->header(), &QHeaderView::sectionClicked, this,
            [this](int column) { guarded(this, [&] { sortDocList(column); }); });
    m_classTree->viewport()->installEventFilter(this);
    m_docList->viewport()->installEventFilter(this);
    for (QTreeView* view : {static_cast<QTreeView*>(m_classTree), m_docList}) {
        view->installEventFilter(this);
        // The pane with the keyboard focus stands out.
        view->setStyleSheet(
            QStringLiteral("QTreeView { border: 2px solid palette(midlight); }"
                           "QTreeView:focus { border: 2px solid palette(highlight); }"));
    }
}

bool ManagerWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && (watched == m_classTree || watched == m_docList))
        return viewKeyPress(static_cast<QTreeView*>(watched), static_cast<QKeyEvent*>(event));
    if (event->type() == QEvent::MouseButtonPress) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (watched == m_classTree->viewport()) {
            m_listFilledSincePress = false;
            return classTreeMousePress(mouse);
        }
        if (watched == m_docList->viewport())
            return docListMousePress(mouse);
    }
    return QWidget::eventFilter(watched, event);
}

const ReportRow* ManagerWindow::selectedRow() const {
    const int row = selectedRowIndex(m_docList);
    return row < 0 ? nullptr : &m_docRows->row(row);
}

QTreeWidgetItem* ManagerWindow::selectedNode() const {
    return m_classTree->selectedItems().value(0);
}

QTreeWidgetItem* ManagerWindow::classTarget() const {
    if (const ReportRow* row = selectedRow())
        return findClassNodeOfRow(row);
    return selectedNode();
}

void ManagerWindow::updateActions() {
    QTreeWidgetItem* node = selectedNode();
    const ReportRow* row = selectedRow();
    const bool templateRow = row && !row->isClass();
    const QTreeWidgetItem* target = classTarget();
    const bool classChangeable = target && target->parent(); // never the root
    const int rows = m_docRows->rowCount();
    const int rowIndex = selectedRowIndex(m_docList);

    using enum ManagerAction;
    const auto enable = [this](ManagerAction which, bool enabled) {
        m_actions[which]->setEnabled(enabled);
    };
    enable(AddClass, node || row);
    enable(AddTemplate, node);
    enable(DeleteClass, classChangeable);
    enable(RenameClass, classChangeable);
    enable(DeleteTemplate, templateRow || classChangeable);
    enable(EditDescription, templateRow && !row->caption.isEmpty());
    enable(EditTemplate, templateRow);
    enable(Preview, templateRow);
    enable(Register, row);
    enable(Up, node && node->parent());
    enable(First, rows > 0);
    enable(Last, rows > 0);
    enable(Previous, rowIndex > 0);
    enable(Next, rows > 0 && rowIndex < rows - 1);
}

void ManagerWindow::fillDocList(QTreeWidgetItem* node) {
    m_listFilledSincePress = true;
    m_sortColumn = -1;
    m_docList->header()->setSortIndicatorShown(false);
    if (!node) {
        m_docRows->setRows({});
        return;
    }
    QList<ReportRow> rows;
    try {
        rows = classContentRows(m_db, nodeClassCode(node));
    } catch (const Error& e) {
        // Never leave another class's contents on show.
        m_docRows->setRows({});
        updateActions();
        throw Error(QStringLiteral("无法读取模板目录：") + e.message(), e.details());
    }
    m_docRows->setRows(std::move(rows));
    updateActions();
}

void ManagerWindow::saveTreeState() {
    m_treeState->save();
}

void ManagerWindow::loadTree() {
    loadClassTree(m_classTree, m_db);
    if (QTreeWidgetItem* root = m_classTree->topLevelItem(0)) {
        root->setExpanded(true);
        m_classTree->setCurrentItem(root);
    }
}

QTreeWidgetItem* ManagerWindow::findClassNodeOfRow(const ReportRow* row) const {
    if (!row || !row->isClass())
        return nullptr;
    return m_treeState->node(row->classCode);
}

// A reload of the tree that keeps the view; the list is filled once, for the final selection.
void ManagerWindow::reloadKeepingView() {
    {
        const QSignalBlocker blocker(m_classTree);
        loadClassTree(m_classTree, m_db);
        m_treeState->restore();
    }
    fillDocList(selectedNode());
    updateActions();
}

void ManagerWindow::sortDocList(int column) {
    m_sortAscending = column == m_sortColumn ? !m_sortAscending : true;
    m_sortColumn = column;

    sortReportRows(m_docList, column, m_sortAscending);
    updateActions();
}

void ManagerWindow::onClassTreeCurrentChanged(QTreeWidgetItem* current) {
    fillDocList(current);
}

// A click on the node already selected reads its contents again; a click that selected the node
// found the list filled already.
void ManagerWindow::onClassTreeClicked() {
    if (!m_listFilledSincePress)
        fillDocList(selectedNode());
}

// The tree's popup opens only over a node, which the right button selects first; the popup
// then works on that node, not on a row still selected in the list.
bool ManagerWindow::classTreeMousePress(QMouseEvent* event) {
    if (event->button() != Qt::RightButton)
        return false;
    guarded(this, [&] {
        openClassTreePopup(m_classTree->itemAt(event->position().toPoint()),
                           event->globalPosition().toPoint());
    });
    return true;
}

bool ManagerWindow::docListMousePress(QMouseEvent* event) {
    if (event->button() != Qt::RightButton)
        return false;
    guarded(this, [&] {
        openDocListPopup(m_docList->indexAt(event->position().toPoint()),
                         event->globalPosition().toPoint());
    });
    return true;
}

void ManagerWindow::openClassTreePopup(QTreeWidgetItem* node, const QPoint& at) {
    if (!node)
        return;
    m_classTree->setCurrentItem(node);
    m_docList->clearSelection();
    updateActions();
    m_classMenu->popup(at);
}

void ManagerWindow::openDocListPopup(const QModelIndex& row, const QPoint& at) {
    if (row.isValid()) {
        m_docList->setCurrentIndex(row);
    } else {
        m_docList->clearSelection();
        m_docList->setCurrentIndex({});
    }
    updateActions();
    (row.isValid() && m_docRows->row(row.row()).isClass() ? m_classMenu : m_docMenu)->popup(at);
}

// Keys of the two views: Enter opens the row (as a double-click does), and the context-menu
// key or Shift+F10 opens the view's popup at its current item.
bool ManagerWindow::viewKeyPress(QTreeView* view, QKeyEvent* event) {
    const int key = event->key();
    const bool enter = (key == Qt::Key_Return || key == Qt::Key_Enter) && view == m_docList;
    const bool popup =
        key == Qt::Key_Menu || (key == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier);
    if (!enter && !popup)
        return false;
    guarded(this, [&] {
        if (enter)
            return onDocListDoubleClicked();
        const QModelIndex item = view->selectionModel()->selectedRows().value(0);
        const QPoint at = view->viewport()->mapToGlobal(
            item.isValid() ? view->visualRect(item).bottomLeft() + QPoint(8, 0) : QPoint(8, 8));
        if (view == m_classTree)
            openClassTreePopup(m_classTree->itemFromIndex(item), at);
        else
            openDocListPopup(item, at);
    });
    return true;
}

void ManagerWindow::onDocListDoubleClicked() {
    const ReportRow* row = selectedRow();
    if (!row)
        return;
    if (!row->isClass())
        return m_templates->openTemplate(*row);
    if (QTreeWidgetItem* node = findClassNodeOfRow(row)) {
        m_classTree->setCurrentItem(node);
        m_classTree->setFocus();
    }
}

void ManagerWindow::closeEvent(QCloseEvent* event) {
    guarded(this, [this] { m_editing->uploadEdited(); });
    QWidget::closeEvent(event);
}

void ManagerWindow::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        m_following->checkNow();
    QWidget::changeEvent(event);
}

void ManagerWindow::applyChanges(const QList<CatalogueChange>& changes) {
    m_following->apply(changes);
}

QTreeWidgetItem* ManagerWindow::classNode(const QString& code) const {
    return m_treeState->node(code);
}

void ManagerWindow::showStatus(const QString& text) {
    m_status->setText(text);
}

// Navigation.

void ManagerWindow::refresh() {
    m_editing->uploadEdited();
    saveTreeState();
    reloadKeepingView();
}

void ManagerWindow::goUp() {
    if (const QTreeWidgetItem* node = selectedNode(); node && node->parent())
        m_classTree->setCurrentItem(node->parent());
}

void ManagerWindow::selectRow(int index) {
    const QModelIndex row = m_docRows->index(index, 0);
    if (!row.isValid())
        return;
    m_docList->setCurrentIndex(row);
    m_docList->scrollTo(row);
}

void ManagerWindow::selectFirstRow() {
    selectRow(0);
}

void ManagerWindow::selectPreviousRow() {
    if (const int row = selectedRowIndex(m_docList); row >= 0)
        selectRow(row - 1);
}

void ManagerWindow::selectNextRow() {
    const int row = selectedRowIndex(m_docList);
    selectRow(row >= 0 ? row + 1 : 0);
}

void ManagerWindow::selectLastRow() {
    selectRow(m_docRows->rowCount() - 1);
}

// The search starts in the class selected in the tree, or in the class row selected in the
// list; the templates it deleted leave the list when it closes.
void ManagerWindow::search() {
    SearchDialog dialog(application(), m_db, *m_editing);
    QString path = classPathText(selectedNode());
    if (const ReportRow* row = selectedRow())
        path = classPathText(findClassNodeOfRow(row));
    dialog.setClassPath(path);
    dialogs().exec(&dialog);
    fillDocList(selectedNode());
}

void ManagerWindow::setUndo(const QString& what, std::function<void()> undo) {
    m_moves->setUndo(what, std::move(undo));
}

} // namespace zq
