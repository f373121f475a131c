#include "ui/ManagerWindow.h"

#include "catalogue/ClassCatalogue.h"
#include "catalogue/StoreStaging.h"
#include "catalogue/TemplateDocuments.h"
#include "catalogue/TemplateFiles.h"
#include "catalogue/TemplateStore.h"
#include "exchange/PackageFolders.h"
#include "platform/HostPlatform.h"
#include "registration/TemplateRegistration.h"
#include "ui/AddTemplateDialog.h"
#include "ui/ClassDialog.h"
#include "ui/EditTemplateDialog.h"
#include "ui/ManagerMoves.h"
#include "ui/ManagerPackages.h"
#include "ui/ProgressSplash.h"
#include "ui/SearchDialog.h"
#include "ui/TemplateEditing.h"
#include "util/Error.h"
#include "widgets/DialogControls.h"
#include "widgets/DialogService.h"
#include "widgets/Icons.h"
#include "widgets/ListSorting.h"
#include "widgets/TreeNodes.h"
#include "widgets/UiReferences.h"
#include "widgets/WaitCursor.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHash>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QScopeGuard>
#include <QSignalBlocker>
#include <QSplitter>
#include <QStyle>
#include <QToolBar>
#include <QToolTip>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace zq {

namespace {

struct ActionRow {
    const char* name;
    const char* caption;
    const char* hint;
    const char* category;
    int image;
    bool shown;
    const char* keys; // shortcuts, "; " between; F2 and Delete serve the selected kind of row
};

const ActionRow kActions[] = {
    {"ActAddDoc", "添加模板文件", "添加模板文件", "文档模板分类操作", 0, true, "Ctrl+N"},
    {"ActAddClass", "添加模板分类", "添加模板分类", "文档模板分类操作", 12, true, "Ctrl+Shift+N"},
    {"ActDelete", "删除模板分类", "删除", "文档模板分类操作", 1, true, ""},
    {"ActiEdit", "修改模板分类名称", "修改", "文档模板分类操作", 2, true, "F2"},
    {"ActSearch", "查找模板", "查找", "文档模板分类操作", 3, true, ""},
    {"ActPreview", "预览", "", "文档模板操作", 8, false, ""},
    {"ActFirst", "第一份", "第一份", "操作导航", 4, false, ""},
    {"ActPrevious", "上一份", "上一份", "操作导航", 5, false, ""},
    {"ActNext", "下一份", "下一份", "操作导航", 6, false, ""},
    {"ActLast", "最末份", "最末份", "操作导航", 7, false, ""},
    {"ActRefresh", "刷新", "刷新", "操作导航", 9, true, "F5"},
    {"ActDeleteDoc", "删除模板文件", "删除模板文件", "文档模板操作", 1, true, "Del"},
    {"ActeditDocDes", "修改模板说明", "修改模板说明", "文档模板操作", 14, true, "F2"},
    {"ActeditDoc", "修改模板文件内容", "修改模板文件内容", "文档模板操作", 15, true, ""},
    {"ActReg", "引用到平台使用", "", "文档模板操作", 16, false, ""},
    {"actBackOff", "后退", "", "操作导航", 19, false, ""},
    {"ActAbove", "前进", "", "操作导航", 18, false, ""},
    {"actUP", "向上", "向上", "操作导航", 17, true, "Backspace; Alt+Up"},
    {"ActExport", "导出文档模板", "", "文档模板分类操作", 18, true, ""},
    {"ActImport", "导入文档模板", "", "文档模板分类操作", 19, true, ""},
};

// Actions with no work behind them yet, or none at all.
const char* const kAlwaysDisabled[] = {"actBackOff", "ActAbove"};

bool isClassRow(const QTreeWidgetItem* row) {
    return imageIndex(row) == kClassImage;
}

// A template row whose file name is no bare name has no stored file; says so.
bool lacksStoredFile(QWidget* parent, const QTreeWidgetItem* row) {
    if (isClassRow(row) || !row->text(kColFullPath).isEmpty())
        return false;
    dialogs().inform(parent, applicationTitle(), QStringLiteral("该模板的文件不存在！"));
    return true;
}

// A template row whose stored file is gone: greyed, and saying why.
void markMissingFile(QTreeWidgetItem* row) {
    static const QIcon greyed(imageListIcon(kTemplateImage).pixmap(16, QIcon::Disabled));
    row->setIcon(kColCaption, greyed);
    for (int column : {kColCaption, kColMemo, kColClassName}) {
        row->setForeground(column,
                           QApplication::palette().brush(QPalette::Disabled, QPalette::Text));
        row->setToolTip(column, QStringLiteral("模板文件不存在"));
    }
}

// Shows the whole text of a cell that its column cuts short; other cells show no tooltip
// unless they carry one of their own.
bool showCutOffText(QTreeWidget* view, QHelpEvent* event) {
    const QModelIndex index = view->indexAt(event->pos());
    if (!index.isValid() || index.data(Qt::ToolTipRole).isValid())
        return false;
    const QRect cell = view->visualRect(index);
    const int icon = index.data(Qt::DecorationRole).isNull()
                         ? 0
                         : view->style()->pixelMetric(QStyle::PM_SmallIconSize) + 4;
    const QString text = index.data(Qt::DisplayRole).toString();
    if (view->fontMetrics().horizontalAdvance(text) + icon + 8 <= cell.width())
        QToolTip::hideText();
    else
        QToolTip::showText(event->globalPos(), text, view->viewport(), cell);
    return true;
}

QMenu* addSubmenu(QWidget* owner, QList<QAction*> actions) {
    auto* menu = new QMenu(QStringLiteral("添加"), owner);
    menu->setIcon(imageListIcon(13));
    menu->addActions(actions);
    return menu;
}

} // namespace

ManagerWindow::ManagerWindow(QWidget* owner, const QSqlDatabase& db)
    : QWidget(owner)
    , m_db(db) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("审计文档模板管理"));
    resize(618, 473);
    setMinimumSize(480, 360);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, QColor(0xF0, 0xF0, 0xF0));
    setPalette(palette);
    setAutoFillBackground(true);

    createActions();
    createMenus();
    createLayout();
    new ManagerMoves(this);
    new ManagerPackages(this);

    m_editing = new TemplateEditing(this, m_db);

    // FormCreate: the whole catalogue with the root selected, the list showing its contents.
    // A catalogue that cannot be read is shown as an error; the window still opens.
    if (attempt(this, QStringLiteral("无法读取模板目录"), [this] { loadTree(); }))
        guarded(this, [this] {
            sweepInterruptedWork(m_db);
            uploadStoreFiles();
        });
    updateActions();
}

// The tree empties itself as it goes, after this window's members are gone.
ManagerWindow::~ManagerWindow() {
    m_classTree->model()->disconnect(this);
}

QAction* ManagerWindow::action(const QString& name) const {
    return findChild<QAction*>(name, Qt::FindDirectChildrenOnly);
}

void ManagerWindow::createActions() {
    for (const ActionRow& entry : kActions) {
        auto* act = new QAction(imageListIcon(entry.image), QString::fromUtf8(entry.caption), this);
        act->setObjectName(QString::fromUtf8(entry.name));
        if (*entry.hint) {
            act->setToolTip(QString::fromUtf8(entry.hint));
            act->setStatusTip(QString::fromUtf8(entry.hint));
        }
        if (*entry.keys) {
            act->setShortcuts(QKeySequence::listFromString(QString::fromUtf8(entry.keys)));
            act->setShortcutContext(Qt::WidgetWithChildrenShortcut);
            act->setToolTip(
                QStringLiteral("%1（%2）")
                    .arg(act->toolTip(), act->shortcut().toString(QKeySequence::NativeText)));
            addAction(act); // the keys work wherever the focus is inside the window
        }
        act->setProperty("category", QString::fromUtf8(entry.category));
        act->setVisible(entry.shown);
    }
    for (const char* name : kAlwaysDisabled)
        action(QString::fromUtf8(name))->setEnabled(false);

    const auto bind = [this](const char* name, void (ManagerWindow::*handler)()) {
        connect(action(QString::fromUtf8(name)), &QAction::triggered, this,
                [this, handler] { guarded(this, [&] { (this->*handler)(); }); });
    };
    bind("ActAddClass", &ManagerWindow::addClass);
    bind("ActiEdit", &ManagerWindow::renameClass);
    bind("ActDelete", &ManagerWindow::deleteClass);
    bind("ActAddDoc", &ManagerWindow::addTemplate);
    bind("ActDeleteDoc", &ManagerWindow::deleteTemplate);
    bind("ActeditDocDes", &ManagerWindow::editTemplateDescription);
    bind("ActeditDoc", &ManagerWindow::openSelectedTemplate);
    bind("ActPreview", &ManagerWindow::openSelectedTemplate);
    bind("ActRefresh", &ManagerWindow::refresh);
    bind("actUP", &ManagerWindow::goUp);
    bind("ActFirst", &ManagerWindow::selectFirstRow);
    bind("ActPrevious", &ManagerWindow::selectPreviousRow);
    bind("ActNext", &ManagerWindow::selectNextRow);
    bind("ActLast", &ManagerWindow::selectLastRow);
    bind("ActReg", &ManagerWindow::registerSelectedRow);
    bind("ActSearch", &ManagerWindow::search);
}

void ManagerWindow::createMenus() {
    const auto acts = [this](std::initializer_list<const char*> names) {
        QList<QAction*> list;
        for (const char* name : names)
            list.append(action(QString::fromUtf8(name)));
        return list;
    };

    m_menuBar = new QMenuBar(this);
    m_menuBar->setObjectName(QStringLiteral("TBToolbar1"));
    QMenu* operations = m_menuBar->addMenu(QStringLiteral("操作(&O)"));
    operations->addMenu(addSubmenu(operations, acts({"ActAddClass", "ActAddDoc"})));
    operations->addActions(acts({"ActDelete", "ActiEdit", "ActSearch"}));
    operations->addSeparator();
    operations->addActions(acts({"ActExport", "ActImport"}));
    operations->addSeparator();
    operations->addAction(action(QStringLiteral("ActPreview")));
    m_menuBar->addSeparator();
    m_menuBar->addActions(acts({"ActFirst", "ActPrevious", "ActNext", "ActLast"}));
    // The bar's refresh item is a hidden one: the button bar offers refresh.

    m_toolBar = new QToolBar(this);
    m_toolBar->setObjectName(QStringLiteral("TBToolbar2"));
    m_toolBar->setIconSize(QSize(16, 16));
    m_toolBar->addActions(acts({"actBackOff", "ActAbove", "actUP", "ActAddClass", "ActAddDoc",
                                "ActDeleteDoc", "ActRefresh", "ActSearch"}));

    m_classMenu = new QMenu(this);
    m_classMenu->setObjectName(QStringLiteral("TBPpMenuClass"));
    m_classMenu->addMenu(addSubmenu(m_classMenu, acts({"ActAddClass", "ActAddDoc"})));
    m_classMenu->addActions(acts({"ActDelete", "ActiEdit", "ActSearch"}));

    m_docMenu = new QMenu(this);
    m_docMenu->setObjectName(QStringLiteral("TBPpMenuDoc"));
    m_docMenu->addMenu(addSubmenu(m_docMenu, acts({"ActAddClass", "ActAddDoc"})));
    m_docMenu->addActions(acts({"ActeditDocDes", "ActDeleteDoc", "ActeditDoc"}));
    m_docMenu->addSeparator();
    m_docMenu->addActions(acts({"ActFirst", "ActPrevious", "ActNext", "ActLast"}));
    m_docMenu->addSeparator();
    m_docMenu->addActions(acts({"ActPreview", "ActReg"}));
}

void ManagerWindow::createLayout() {
    m_classTree = new QTreeWidget;
    m_classTree->setObjectName(QStringLiteral("tvwOrg"));
    m_classTree->setHeaderHidden(true);
    m_classTree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_classTree->setIndentation(19);
    // Deep class names scroll sideways instead of being cut short.
    m_classTree->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_classTree->header()->setStretchLastSection(false);
    m_classTree->setSelectionMode(QAbstractItemView::SingleSelection);
    keepSelectionVisible(m_classTree);

    m_docList = new QTreeWidget;
    m_docList->setObjectName(QStringLiteral("lvwLog"));
    m_docList->setRootIsDecorated(false);
    m_docList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_docList->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_docList->setSelectionMode(QAbstractItemView::SingleSelection);
    m_docList->setAllColumnsShowFocus(true);
    m_docList->setColumnCount(kDocListColumns);
    m_docList->setHeaderLabels(
        {QStringLiteral("模板名称"), QStringLiteral("模板说明"), QStringLiteral("模板分类")});
    m_docList->setColumnWidth(kColCaption, 120);
    m_docList->setColumnWidth(kColMemo, 130);
    m_docList->setColumnWidth(kColClassName, 161);
    for (int column : {kColRowId, kColTypeCaption, kColFullPath})
        m_docList->setColumnHidden(column, true);
    m_docList->header()->setSectionsClickable(true);
    keepSelectionVisible(m_docList);

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

    connect(m_classTree, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* current) {
        guarded(this, [&] { onClassTreeCurrentChanged(current); });
    });
    connect(m_classTree, &QTreeWidget::itemClicked, this,
            [this] { guarded(this, [&] { onClassTreeClicked(); }); });
    connect(m_classTree, &QTreeWidget::itemSelectionChanged, this, &ManagerWindow::updateActions);
    connect(m_docList, &QTreeWidget::itemSelectionChanged, this, &ManagerWindow::updateActions);
    connect(m_docList, &QTreeWidget::itemDoubleClicked, this,
            [this] { guarded(this, [&] { onDocListDoubleClicked(); }); });
    connect(m_docList->header(), &QHeaderView::sectionClicked, this,
            [this](int column) { guarded(this, [&] { sortDocList(column); }); });
    m_classTree->viewport()->installEventFilter(this);
    m_docList->viewport()->installEventFilter(this);
    for (QTreeWidget* view : {m_classTree, m_docList}) {
        view->installEventFilter(this);
        // The pane with the keyboard focus stands out.
        view->setStyleSheet(
            QStringLiteral("QTreeView { border: 2px solid palette(midlight); }"
                           "QTreeView:focus { border: 2px solid palette(highlight); }"));
    }
    const QAbstractItemModel* model = m_classTree->model();
    const auto forgetNodes = [this] { m_nodesByCode.clear(); };
    connect(model, &QAbstractItemModel::rowsInserted, this, forgetNodes);
    connect(model, &QAbstractItemModel::rowsRemoved, this, forgetNodes);
    connect(model, &QAbstractItemModel::rowsMoved, this, forgetNodes);
    connect(model, &QAbstractItemModel::modelReset, this, forgetNodes);
    connect(model, &QAbstractItemModel::layoutChanged, this, forgetNodes);
    connect(model, &QAbstractItemModel::dataChanged, this, forgetNodes);
}

bool ManagerWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && (watched == m_classTree || watched == m_docList))
        return viewKeyPress(static_cast<QTreeWidget*>(watched), static_cast<QKeyEvent*>(event));
    if (event->type() == QEvent::ToolTip) {
        if (watched == m_classTree->viewport())
            return showCutOffText(m_classTree, static_cast<QHelpEvent*>(event));
        if (watched == m_docList->viewport())
            return showCutOffText(m_docList, static_cast<QHelpEvent*>(event));
    }
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

QTreeWidgetItem* ManagerWindow::selectedRow() const {
    return m_docList->selectedItems().value(0);
}

QTreeWidgetItem* ManagerWindow::selectedNode() const {
    return m_classTree->selectedItems().value(0);
}

QTreeWidgetItem* ManagerWindow::classTarget() const {
    if (QTreeWidgetItem* row = selectedRow())
        return findClassNodeOfRow(row);
    return selectedNode();
}

void ManagerWindow::updateActions() {
    QTreeWidgetItem* node = selectedNode();
    QTreeWidgetItem* row = selectedRow();
    const bool templateRow = row && !isClassRow(row);
    const QTreeWidgetItem* target = classTarget();
    const bool classChangeable = target && target->parent(); // never the root
    const int rows = m_docList->topLevelItemCount();
    const int rowIndex = row ? m_docList->indexOfTopLevelItem(row) : -1;

    const auto enable = [this](const char* name, bool enabled) {
        action(QString::fromUtf8(name))->setEnabled(enabled);
    };
    enable("ActAddClass", node || row);
    enable("ActAddDoc", node);
    enable("ActDelete", classChangeable);
    enable("ActiEdit", classChangeable);
    enable("ActDeleteDoc", templateRow || classChangeable);
    enable("ActeditDocDes", templateRow && !row->text(kColCaption).isEmpty());
    enable("ActeditDoc", templateRow);
    enable("ActPreview", templateRow);
    enable("ActReg", row);
    enable("actUP", node && node->parent());
    enable("ActFirst", rows > 0);
    enable("ActLast", rows > 0);
    enable("ActPrevious", rowIndex > 0);
    enable("ActNext", rows > 0 && rowIndex < rows - 1);
}

void ManagerWindow::fillDocList(QTreeWidgetItem* node) {
    m_listFilledSincePress = true;
    m_sortColumn = -1;
    m_docList->header()->setSortIndicatorShown(false);
    if (!node) {
        m_docList->clear();
        return;
    }
    QList<ClassContentRow> rows;
    QSet<QString> kept;
    try {
        rows = readClassContents(m_db, nodeClassCode(node));
        kept = keptFileNamesOfClass(m_db, nodeClassCode(node));
    } catch (const Error& e) {
        // Never leave another class's contents on show.
        m_docList->clear();
        updateActions();
        throw Error(QStringLiteral("无法读取模板目录：") + e.message(), e.details());
    }
    const QString store = templateStorePath();
    QList<QTreeWidgetItem*> items;
    items.reserve(rows.size());
    for (const ClassContentRow& row : rows) {
        // A class row carries the store and its blank, as the host has always seen it.
        const QString path =
            row.image == kClassImage ? store + row.fileName : storedFilePath(row.fileName);
        auto* item = new QTreeWidgetItem(
            QStringList{row.caption, row.memo, row.className, row.id, row.typeCaption, path});
        setImageIndex(item, row.image);
        // Missing only when neither the catalogue nor this workstation has it.
        if (row.image == kTemplateImage && !kept.contains(row.fileName) &&
            !QFileInfo::exists(store + row.fileName))
            markMissingFile(item);
        items.append(item);
    }
    m_docList->setUpdatesEnabled(false);
    m_docList->clear();
    m_docList->addTopLevelItems(items);
    m_docList->setUpdatesEnabled(true);
    updateActions();
}

void ManagerWindow::saveTreeState() {
    m_expandedCodes.clear();
    for (const QTreeWidgetItem* item : treeItems(m_classTree))
        if (item->isExpanded())
            m_expandedCodes.append(nodeClassCode(item));
    if (const QTreeWidgetItem* node = selectedNode())
        m_selectedCode = nodeClassCode(node);
}

void ManagerWindow::loadTree() {
    loadClassTree(m_classTree, m_db);
    if (QTreeWidgetItem* root = m_classTree->topLevelItem(0)) {
        root->setExpanded(true);
        m_classTree->setCurrentItem(root);
    }
}

QTreeWidgetItem* ManagerWindow::classNode(const QString& code) const {
    if (m_nodesByCode.isEmpty())
        for (QTreeWidgetItem* item : treeItems(m_classTree))
            if (hasNodeRecord(item))
                m_nodesByCode.insert(nodeClassCode(item), item);
    return m_nodesByCode.value(code);
}

// Opens again the root and every node that was open, with its ancestors, and selects what
// selecting each remembered code in turn would leave selected. The tree has no current item yet,
// so its layout is still pending: opening a node only notes it, and the view lays out the whole
// open tree once, when the selection is set.
void ManagerWindow::restoreTreeState() {
    QTreeWidgetItem* selected = m_classTree->topLevelItem(0);
    if (selected)
        selected->setExpanded(true);
    const auto reveal = [](QTreeWidgetItem* item) {
        for (QTreeWidgetItem* parent = item->parent(); parent; parent = parent->parent())
            parent->setExpanded(true);
    };
    for (const QString& code : std::as_const(m_expandedCodes)) {
        if (QTreeWidgetItem* item = classNode(code)) {
            reveal(item);
            item->setExpanded(true);
            selected = item;
        }
    }
    if (QTreeWidgetItem* item = classNode(m_selectedCode)) {
        reveal(item);
        selected = item;
    }
    if (selected) {
        m_classTree->setCurrentItem(selected);
        m_classTree->scrollToItem(selected);
    }
    m_classTree->setFocus();
}

QTreeWidgetItem* ManagerWindow::findClassNodeOfRow(const QTreeWidgetItem* row) const {
    if (!row || !isClassRow(row))
        return nullptr;
    return classNode(row->text(kColRowId));
}

// A reload of the tree that keeps the view; the list is filled once, for the final selection.
void ManagerWindow::reloadKeepingView() {
    {
        const QSignalBlocker blocker(m_classTree);
        loadClassTree(m_classTree, m_db);
        restoreTreeState();
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
        openDocListPopup(m_docList->itemAt(event->position().toPoint()),
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

void ManagerWindow::openDocListPopup(QTreeWidgetItem* row, const QPoint& at) {
    if (row) {
        m_docList->setCurrentItem(row);
    } else {
        m_docList->clearSelection();
        m_docList->setCurrentItem(nullptr);
    }
    updateActions();
    (row && isClassRow(row) ? m_classMenu : m_docMenu)->popup(at);
}

// Keys of the two views: Enter opens the row (as a double-click does), and the context-menu
// key or Shift+F10 opens the view's popup at its current item.
bool ManagerWindow::viewKeyPress(QTreeWidget* view, QKeyEvent* event) {
    const int key = event->key();
    const bool enter = (key == Qt::Key_Return || key == Qt::Key_Enter) && view == m_docList;
    const bool popup =
        key == Qt::Key_Menu || (key == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier);
    if (!enter && !popup)
        return false;
    guarded(this, [&] {
        if (enter)
            return onDocListDoubleClicked();
        QTreeWidgetItem* item = view->selectedItems().value(0);
        const QRect rect = item ? view->visualItemRect(item) : QRect();
        const QPoint at =
            view->viewport()->mapToGlobal(item ? rect.bottomLeft() + QPoint(8, 0) : QPoint(8, 8));
        if (view == m_classTree)
            openClassTreePopup(item, at);
        else
            openDocListPopup(item, at);
    });
    return true;
}

void ManagerWindow::onDocListDoubleClicked() {
    QTreeWidgetItem* row = selectedRow();
    if (!row)
        return;
    if (!isClassRow(row))
        return openTemplate(row);
    if (QTreeWidgetItem* node = findClassNodeOfRow(row)) {
        m_classTree->setCurrentItem(node);
        m_classTree->setFocus();
    }
}

// Class operations.

void ManagerWindow::addClass() {
    QTreeWidgetItem* row = selectedRow();
    QTreeWidgetItem* node = selectedNode();
    if (!row && !node)
        return;
    saveTreeState();
    ClassDialog dialog(application());
    dialog.setWindowTitle(QStringLiteral("添加模板分类"));
    const QString parentCode =
        row && isClassRow(row) ? row->text(kColRowId) : (node ? nodeClassCode(node) : QString());
    dialog.setClass(newChildClassCode(m_db, parentCode));
    dialog.setSave(
        [&] { addChildClass(m_db, parentCode, dialog.name(), dialog.memo(), dialog.code()); });
    if (dialogs().exec(&dialog) != QDialog::Accepted)
        return;
    reloadKeepingView();
}

void ManagerWindow::renameClass() {
    editClassNode(classTarget());
    fillDocList(selectedNode());
}

void ManagerWindow::editClassNode(QTreeWidgetItem* node) {
    if (!node || !node->parent())
        return;
    const QStringList record = nodeRecord(node);
    ClassDialog dialog(application());
    dialog.setWindowTitle(QStringLiteral("修改模板分类名称"));
    dialog.setClass(record.value(0), record.value(1), record.value(2));
    dialog.setSave([&] {
        updateClass(m_db, dialog.code(), dialog.name().trimmed(), dialog.memo().trimmed());
    });
    if (dialogs().exec(&dialog) != QDialog::Accepted)
        return;
    const QString name = dialog.name().trimmed();
    const QString memo = dialog.memo().trimmed();
    setNodeRecord(node, {dialog.code(), name, memo});
    node->setText(0, name);
}

void ManagerWindow::deleteClass() {
    deleteClassNode(classTarget());
    fillDocList(selectedNode());
}

void ManagerWindow::deleteClassNode(QTreeWidgetItem* node) {
    if (!node || !node->parent())
        return;
    const QString code = nodeClassCode(node);
    const QString refusal = QStringLiteral("此文档模板分类或其子分类已有文档模板信息，不能删除！");
    if (classTreeHasTemplates(m_db, code))
        return dialogs().inform(this, applicationTitle(), refusal);
    if (!dialogs().ask(this, applicationTitle(),
                       QStringLiteral("确定删除该文档模板分类吗，此类别下的子类别同时将被删除？")))
        return;
    // A template may have been filed there since the check, or the class deleted elsewhere;
    // the delete checks again.
    const ClassTreeDeletion result = deleteEmptyClassTree(m_db, code);
    if (result == ClassTreeDeletion::HasTemplates)
        return dialogs().inform(this, applicationTitle(), refusal);
    if (result == ClassTreeDeletion::NoSuchClass)
        dialogs().inform(this, applicationTitle(), noSuchClassMessage());
    for (const QTreeWidgetItem* selected = selectedNode(); selected;
         selected = selected->parent()) {
        if (selected == node) {
            m_classTree->setCurrentItem(node->parent());
            break;
        }
    }
    delete node;
}

// Document operations.

void ManagerWindow::addTemplate() {
    QTreeWidgetItem* node = selectedNode();
    if (!node)
        return;
    // With a class row selected (its popup), the template goes into that row's class.
    const QTreeWidgetItem* selected = selectedRow();
    QTreeWidgetItem* target =
        selected && isClassRow(selected) ? findClassNodeOfRow(selected) : node;
    if (!target)
        return;
    AddTemplateDialog dialog(application());
    QString stored;
    QString typeName;
    qint64 docId = -1;
    // Stored while the dialog is open, so that a failure keeps what was typed. A refusal of
    // the host closes the dialog and catalogues nothing.
    dialog.setSave([&] {
        const QString classPath = classPathText(target).mid(1);
        QString keyword;
        QString name = dialog.name();
        QString memo = dialog.memo();
        // Until its row is committed the copy is journalled, so that even a crash leaves no
        // store file that no row names.
        StoreStaging staging(templateStorePath());
        stored = copyToStore(
            dialog.filePath(), staging.store(),
            [this](const QString& fileName) { return storedNameTaken(m_db, fileName); }, &staging);
        TemplateRow row{dialog.name(),
                        QFileInfo(stored).fileName(),
                        dialog.memo(),
                        nodeClassCode(target),
                        {},
                        {}};
        // The copy goes again unless the template is catalogued: the host refused it, or the
        // catalogue did (its class was deleted meanwhile, say).
        const auto discardCopy = qScopeGuard([&] {
            if (docId < 0)
                QFile::remove(staging.store() + row.fileName);
        });
        if (hostPlatform().ZQImportNewRes(name, typeName, memo, keyword, stored, classPath, 1) < 0)
            return;
        row.typeName = typeName;
        row.keyWord = keyword;
        docId = addStoredTemplate(m_db, row, staging.store(), &staging);
        stored = staging.store() + row.fileName;
    });
    if (dialogs().exec(&dialog) != QDialog::Accepted || docId < 0 || target != node)
        return; // a template of a sub-class is not a row of this list
    const QStringList record = nodeRecord(node);

    auto* row = new QTreeWidgetItem(
        m_docList, QStringList{dialog.name().trimmed(), dialog.memo().trimmed(), record.value(1),
                               QString::number(docId), typeCaptionOf(m_db, typeName), stored});
    setImageIndex(row, kTemplateImage);
    updateActions();
}

void ManagerWindow::deleteTemplate() {
    QTreeWidgetItem* row = selectedRow();
    if (!row || isClassRow(row))
        return deleteClass();
    if (!dialogs().ask(this, applicationTitle(), QStringLiteral("确定删除该模板文件吗？")))
        return;
    deleteTemplateAndFile(m_db, row->text(kColRowId).toLongLong());
    delete row;
    updateActions();
}

void ManagerWindow::editTemplateDescription() {
    QTreeWidgetItem* row = selectedRow();
    if (!row || isClassRow(row) || row->text(kColCaption).isEmpty())
        return;
    EditTemplateDialog dialog(application());
    dialog.setTemplate(row->text(kColRowId), row->text(kColCaption), row->text(kColMemo));
    dialog.setSave([&] {
        updateTemplateText(m_db, dialog.docId().trimmed().toLongLong(), dialog.name(),
                           dialog.memo());
    });
    if (dialogs().exec(&dialog) != QDialog::Accepted)
        return;
    row->setText(kColCaption, dialog.name().trimmed());
    row->setText(kColMemo, dialog.memo().trimmed());
}

void ManagerWindow::openSelectedTemplate() {
    if (const QTreeWidgetItem* row = selectedRow(); row && !isClassRow(row))
        openTemplate(row);
}

void ManagerWindow::openTemplate(const QTreeWidgetItem* row) {
    if (lacksStoredFile(this, row))
        return;
    const WaitCursor wait;
    m_editing->open(row->text(kColFullPath), row->text(kColMemo) + QStringLiteral(".模板"));
}

void ManagerWindow::uploadStoreFiles() {
    SplashProcess splash;
    uploadMissingFilesOnce(m_db, templateStorePath(), [&](int done, int total) {
        const QString hint = QStringLiteral("正在把本机模板文件存入模板目录");
        if (done == 1)
            splash.start(hint, this);
        splash.setProgress(hint, done, total);
    });
}

void ManagerWindow::closeEvent(QCloseEvent* event) {
    guarded(this, [this] { m_editing->uploadEdited(); });
    QWidget::closeEvent(event);
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
    QTreeWidgetItem* row = m_docList->topLevelItem(index);
    if (!row)
        return;
    m_docList->setCurrentItem(row);
    m_docList->scrollToItem(row);
}

void ManagerWindow::selectFirstRow() {
    selectRow(0);
}

void ManagerWindow::selectPreviousRow() {
    if (QTreeWidgetItem* row = selectedRow())
        selectRow(m_docList->indexOfTopLevelItem(row) - 1);
}

void ManagerWindow::selectNextRow() {
    QTreeWidgetItem* row = selectedRow();
    selectRow(row ? m_docList->indexOfTopLevelItem(row) + 1 : 0);
}

void ManagerWindow::selectLastRow() {
    selectRow(m_docList->topLevelItemCount() - 1);
}

// The search starts in the class selected in the tree, or in the class row selected in the
// list; the templates it deleted leave the list when it closes.
void ManagerWindow::search() {
    SearchDialog dialog(application(), m_db, *m_editing);
    QString path = classPathText(selectedNode());
    if (QTreeWidgetItem* row = selectedRow())
        path = classPathText(findClassNodeOfRow(row));
    dialog.setClassPath(path);
    dialogs().exec(&dialog);
    fillDocList(selectedNode());
}

void ManagerWindow::registerSelectedRow() {
    if (const QTreeWidgetItem* row = selectedRow(); row && !lacksStoredFile(this, row))
        registerListRow(hostPlatform(),
                        isClassRow(row) ? row->text(kColFullPath)
                                        : m_editing->currentFile(row->text(kColFullPath)),
                        row->text(kColMemo));
}

} // namespace zq
