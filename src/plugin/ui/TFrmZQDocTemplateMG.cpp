#include "ui/TFrmZQDocTemplateMG.h"

#include "catalogue/ClassCatalogue.h"
#include "catalogue/TemplateDocuments.h"
#include "catalogue/TemplateStore.h"
#include "platform/HostPlatform.h"
#include "platform/UiReferences.h"
#include "registration/Registration.h"
#include "ui/DialogService.h"
#include "ui/ImageList.h"
#include "ui/TFrmAddTemplateClass.h"
#include "ui/TFrmAddTemplateDoc.h"
#include "ui/TFrmEditTemplateDoc.h"
#include "ui/TreeNodes.h"
#include "util/Gb18030.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHash>
#include <QHeaderView>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QScopeGuard>
#include <QSignalBlocker>
#include <QSplitter>
#include <QToolBar>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace zq {

namespace {

struct ActionSpec {
    const char* name;
    const char* caption;
    const char* hint;
    const char* category;
    int image;
    bool shown;
};

const ActionSpec kActions[] = {
    {"ActAddDoc", "添加模板文件", "添加模板文件", "文档模板分类操作", 0, true},
    {"ActAddClass", "添加模板分类", "添加模板分类", "文档模板分类操作", 12, true},
    {"ActDelete", "删除模板分类", "删除", "文档模板分类操作", 1, true},
    {"ActiEdit", "修改模板分类名称", "修改", "文档模板分类操作", 2, true},
    {"ActSearch", "查找模板", "查找", "文档模板分类操作", 3, true},
    {"ActPreview", "预览", "", "文档模板操作", 8, false},
    {"ActFirst", "第一份", "第一份", "操作导航", 4, false},
    {"ActPrevious", "上一份", "上一份", "操作导航", 5, false},
    {"ActNext", "下一份", "下一份", "操作导航", 6, false},
    {"ActLast", "最末份", "最末份", "操作导航", 7, false},
    {"ActRefresh", "刷新", "刷新", "操作导航", 9, true},
    {"ActDeleteDoc", "删除模板文件", "删除模板文件", "文档模板操作", 1, true},
    {"ActeditDocDes", "修改模板说明", "修改模板说明", "文档模板操作", 14, true},
    {"ActeditDoc", "修改模板文件内容", "修改模板文件内容", "文档模板操作", 15, true},
    {"ActReg", "引用到平台使用", "", "文档模板操作", 16, false},
    {"actBackOff", "后退", "", "操作导航", 19, false},
    {"ActAbove", "前进", "", "操作导航", 18, false},
    {"actUP", "向上", "向上", "操作导航", 17, true},
    {"ActExport", "导出文档模板", "", "文档模板分类操作", 18, true},
    {"ActImport", "导入文档模板", "", "文档模板分类操作", 19, true},
};

// Actions with no work behind them yet, or none at all.
const char* const kAlwaysDisabled[] = {"ActSearch", "ActExport", "ActImport", "actBackOff",
                                       "ActAbove"};

bool isClassRow(const QTreeWidgetItem* row) {
    return imageIndex(row) == kClassImage;
}

// Sort key of a list text: its GB18030 bytes, compared byte by byte, a-z taken as capitals.
QByteArray sortKey(const QString& text) {
    QByteArray bytes = toGb18030(text);
    for (char& c : bytes)
        if (c >= 'a' && c <= 'z')
            c = char(c - 'a' + 'A');
    return bytes;
}

// Keeps the selection drawn as selected while the view does not have the focus.
void keepSelectionVisible(QWidget* view) {
    QPalette palette = view->palette();
    for (QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText})
        palette.setColor(QPalette::Inactive, role, palette.color(QPalette::Active, role));
    view->setPalette(palette);
}

QMenu* addSubmenu(QWidget* owner, QList<QAction*> actions) {
    auto* menu = new QMenu(QStringLiteral("添加"), owner);
    menu->setIcon(imageListIcon(13));
    menu->addActions(actions);
    return menu;
}

// Puts the default cursor back however the work ends.
class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

} // namespace

TFrmZQDocTemplateMG::TFrmZQDocTemplateMG(QWidget* owner, const QSqlDatabase& db)
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

    // FormCreate: the whole catalogue with the root selected, the list showing its contents.
    // A catalogue that cannot be read is shown as an error; the window still opens.
    guarded(this, [this] { LoadTree(); });
    updateActions();
}

QAction* TFrmZQDocTemplateMG::action(const QString& name) const {
    return findChild<QAction*>(name, Qt::FindDirectChildrenOnly);
}

void TFrmZQDocTemplateMG::createActions() {
    for (const ActionSpec& entry : kActions) {
        auto* act = new QAction(imageListIcon(entry.image), QString::fromUtf8(entry.caption), this);
        act->setObjectName(QString::fromUtf8(entry.name));
        if (*entry.hint) {
            act->setToolTip(QString::fromUtf8(entry.hint));
            act->setStatusTip(QString::fromUtf8(entry.hint));
        }
        act->setProperty("category", QString::fromUtf8(entry.category));
        act->setVisible(entry.shown);
    }
    for (const char* name : kAlwaysDisabled)
        action(QString::fromUtf8(name))->setEnabled(false);

    const auto bind = [this](const char* name, void (TFrmZQDocTemplateMG::*handler)()) {
        connect(action(QString::fromUtf8(name)), &QAction::triggered, this,
                [this, handler] { guarded(this, [&] { (this->*handler)(); }); });
    };
    bind("ActAddClass", &TFrmZQDocTemplateMG::ActAddClassExecute);
    bind("ActiEdit", &TFrmZQDocTemplateMG::ActiEditExecute);
    bind("ActDelete", &TFrmZQDocTemplateMG::ActDeleteExecute);
    bind("ActAddDoc", &TFrmZQDocTemplateMG::ActAddDocExecute);
    bind("ActDeleteDoc", &TFrmZQDocTemplateMG::ActDeleteDocExecute);
    bind("ActeditDocDes", &TFrmZQDocTemplateMG::ActeditDocDesExecute);
    bind("ActeditDoc", &TFrmZQDocTemplateMG::ActeditDocExecute);
    bind("ActPreview", &TFrmZQDocTemplateMG::ActeditDocExecute);
    bind("ActRefresh", &TFrmZQDocTemplateMG::ActRefreshExecute);
    bind("actUP", &TFrmZQDocTemplateMG::actUPExecute);
    bind("ActFirst", &TFrmZQDocTemplateMG::ActFirstExecute);
    bind("ActPrevious", &TFrmZQDocTemplateMG::ActPreviousExecute);
    bind("ActNext", &TFrmZQDocTemplateMG::ActNextExecute);
    bind("ActLast", &TFrmZQDocTemplateMG::ActLastExecute);
    bind("ActReg", &TFrmZQDocTemplateMG::ActRegExecute);
}

void TFrmZQDocTemplateMG::createMenus() {
    const auto acts = [this](std::initializer_list<const char*> names) {
        QList<QAction*> list;
        for (const char* name : names)
            list.append(action(QString::fromUtf8(name)));
        return list;
    };

    TBToolbar1 = new QMenuBar(this);
    TBToolbar1->setObjectName(QStringLiteral("TBToolbar1"));
    QMenu* operations = TBToolbar1->addMenu(QStringLiteral("操作"));
    operations->addMenu(addSubmenu(operations, acts({"ActAddClass", "ActAddDoc"})));
    operations->addActions(acts({"ActDelete", "ActiEdit", "ActSearch"}));
    operations->addSeparator();
    operations->addActions(acts({"ActExport", "ActImport"}));
    operations->addSeparator();
    operations->addAction(action(QStringLiteral("ActPreview")));
    TBToolbar1->addSeparator();
    TBToolbar1->addActions(acts({"ActFirst", "ActPrevious", "ActNext", "ActLast"}));
    // The bar's refresh item is a hidden one: the button bar offers refresh.

    TBToolbar2 = new QToolBar(this);
    TBToolbar2->setObjectName(QStringLiteral("TBToolbar2"));
    TBToolbar2->setIconSize(QSize(16, 16));
    TBToolbar2->addActions(acts({"actBackOff", "ActAbove", "actUP", "ActAddClass", "ActAddDoc",
                                 "ActDeleteDoc", "ActRefresh", "ActSearch"}));

    TBPpMenuClass = new QMenu(this);
    TBPpMenuClass->setObjectName(QStringLiteral("TBPpMenuClass"));
    TBPpMenuClass->addMenu(addSubmenu(TBPpMenuClass, acts({"ActAddClass", "ActAddDoc"})));
    TBPpMenuClass->addActions(acts({"ActDelete", "ActiEdit", "ActSearch"}));

    TBPpMenuDoc = new QMenu(this);
    TBPpMenuDoc->setObjectName(QStringLiteral("TBPpMenuDoc"));
    TBPpMenuDoc->addMenu(addSubmenu(TBPpMenuDoc, acts({"ActAddClass", "ActAddDoc"})));
    TBPpMenuDoc->addActions(acts({"ActeditDocDes", "ActDeleteDoc", "ActeditDoc"}));
    TBPpMenuDoc->addSeparator();
    TBPpMenuDoc->addActions(acts({"ActFirst", "ActPrevious", "ActNext", "ActLast"}));
    TBPpMenuDoc->addSeparator();
    TBPpMenuDoc->addActions(acts({"ActPreview", "ActReg"}));
}

void TFrmZQDocTemplateMG::createLayout() {
    tvwOrg = new QTreeWidget;
    tvwOrg->setObjectName(QStringLiteral("tvwOrg"));
    tvwOrg->setHeaderHidden(true);
    tvwOrg->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tvwOrg->setIndentation(19);
    // Deep class names scroll sideways instead of being cut short.
    tvwOrg->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    tvwOrg->header()->setStretchLastSection(false);
    tvwOrg->setSelectionMode(QAbstractItemView::SingleSelection);
    keepSelectionVisible(tvwOrg);

    lvwLog = new QTreeWidget;
    lvwLog->setObjectName(QStringLiteral("lvwLog"));
    lvwLog->setRootIsDecorated(false);
    lvwLog->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lvwLog->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvwLog->setSelectionMode(QAbstractItemView::SingleSelection);
    lvwLog->setAllColumnsShowFocus(true);
    lvwLog->setColumnCount(kDocListColumns);
    lvwLog->setHeaderLabels(
        {QStringLiteral("模板名称"), QStringLiteral("模板说明"), QStringLiteral("模板分类")});
    lvwLog->setColumnWidth(kColCaption, 120);
    lvwLog->setColumnWidth(kColMemo, 130);
    lvwLog->setColumnWidth(kColClassName, 161);
    for (int column : {kColRowId, kColTypeCaption, kColFullPath})
        lvwLog->setColumnHidden(column, true);
    lvwLog->header()->setSectionsClickable(true);
    keepSelectionVisible(lvwLog);

    auto* classBox = new QGroupBox(QStringLiteral("文档模板分类"));
    (new QVBoxLayout(classBox))->addWidget(tvwOrg);
    auto* listBox = new QGroupBox(QStringLiteral("文档模板列表"));
    (new QVBoxLayout(listBox))->addWidget(lvwLog);

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
    dock->addWidget(TBToolbar1);
    dock->addWidget(TBToolbar2, 1);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(2);
    layout->addLayout(dock);
    layout->addWidget(splitter, 1);

    connect(tvwOrg, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* current) { guarded(this, [&] { tvwOrgChange(current); }); });
    connect(tvwOrg, &QTreeWidget::itemClicked, this,
            [this] { guarded(this, [&] { tvwOrgClick(); }); });
    connect(tvwOrg, &QTreeWidget::itemSelectionChanged, this, &TFrmZQDocTemplateMG::updateActions);
    connect(lvwLog, &QTreeWidget::itemSelectionChanged, this, &TFrmZQDocTemplateMG::updateActions);
    connect(lvwLog, &QTreeWidget::itemDoubleClicked, this,
            [this] { guarded(this, [&] { lvwLogDblClick(); }); });
    connect(lvwLog->header(), &QHeaderView::sectionClicked, this,
            [this](int column) { guarded(this, [&] { sortDocList(column); }); });
    tvwOrg->viewport()->installEventFilter(this);
    lvwLog->viewport()->installEventFilter(this);
}

bool TFrmZQDocTemplateMG::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonPress) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (watched == tvwOrg->viewport())
            return tvwOrgMouseDown(mouse);
        if (watched == lvwLog->viewport())
            return lvwLogMouseDown(mouse);
    }
    return QWidget::eventFilter(watched, event);
}

QTreeWidgetItem* TFrmZQDocTemplateMG::selectedRow() const {
    return lvwLog->selectedItems().value(0);
}

QTreeWidgetItem* TFrmZQDocTemplateMG::selectedNode() const {
    return tvwOrg->selectedItems().value(0);
}

QTreeWidgetItem* TFrmZQDocTemplateMG::classTarget() const {
    if (QTreeWidgetItem* row = selectedRow())
        return FindClassNodeOfRow(row);
    return selectedNode();
}

void TFrmZQDocTemplateMG::updateActions() {
    QTreeWidgetItem* node = selectedNode();
    QTreeWidgetItem* row = selectedRow();
    const bool templateRow = row && !isClassRow(row);
    const QTreeWidgetItem* target = classTarget();
    const bool classChangeable = target && target->parent(); // never the root
    const int rows = lvwLog->topLevelItemCount();
    const int rowIndex = row ? lvwLog->indexOfTopLevelItem(row) : -1;

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

void TFrmZQDocTemplateMG::FillDocList(QTreeWidgetItem* node) {
    m_sortColumn = -1;
    lvwLog->header()->setSortIndicatorShown(false);
    if (!node) {
        lvwLog->clear();
        return;
    }
    const QList<ClassContentRow> rows = ReadClassContents(m_db, nodeClassCode(node));
    const QString store = TemplateStorePath();
    QList<QTreeWidgetItem*> items;
    items.reserve(rows.size());
    for (const ClassContentRow& row : rows) {
        auto* item = new QTreeWidgetItem(QStringList{row.caption, row.memo, row.className, row.id,
                                                     row.typeCaption, store + row.fileName});
        setImageIndex(item, row.image);
        items.append(item);
    }
    lvwLog->setUpdatesEnabled(false);
    lvwLog->clear();
    lvwLog->addTopLevelItems(items);
    lvwLog->setUpdatesEnabled(true);
    updateActions();
}

void TFrmZQDocTemplateMG::SaveTreeState() {
    FExpandedCodes.clear();
    for (const QTreeWidgetItem* item : treeItems(tvwOrg))
        if (item->isExpanded())
            FExpandedCodes.append(nodeClassCode(item));
    if (const QTreeWidgetItem* node = selectedNode())
        FSelectedCode = nodeClassCode(node);
}

void TFrmZQDocTemplateMG::LoadTree() {
    LoadClassTree(tvwOrg, m_db);
    if (QTreeWidgetItem* root = tvwOrg->topLevelItem(0)) {
        tvwOrg->setCurrentItem(root);
        root->setExpanded(true);
    }
}

// Opens again every node that was open, with its ancestors, and selects what selecting each
// remembered code in turn would leave selected, in one pass over the tree.
void TFrmZQDocTemplateMG::RestoreTreeState() {
    QHash<QString, QTreeWidgetItem*> nodes; // the last node of each code, as in tree order
    for (QTreeWidgetItem* item : treeItems(tvwOrg))
        if (hasNodeRecord(item))
            nodes.insert(nodeClassCode(item), item);
    const auto reveal = [](QTreeWidgetItem* item) {
        for (QTreeWidgetItem* parent = item->parent(); parent; parent = parent->parent())
            parent->setExpanded(true);
    };
    QTreeWidgetItem* selected = nullptr;
    for (const QString& code : std::as_const(FExpandedCodes)) {
        if (QTreeWidgetItem* item = nodes.value(code)) {
            reveal(item);
            item->setExpanded(true);
            selected = item;
        }
    }
    if (QTreeWidgetItem* item = nodes.value(FSelectedCode)) {
        reveal(item);
        selected = item;
    }
    if (selected) {
        tvwOrg->setCurrentItem(selected);
        tvwOrg->scrollToItem(selected);
    }
    tvwOrg->setFocus();
}

void TFrmZQDocTemplateMG::SelectClassByCode(const QString& code) {
    for (QTreeWidgetItem* item : treeItems(tvwOrg)) {
        if (!hasNodeRecord(item) || nodeClassCode(item) != code)
            continue;
        for (QTreeWidgetItem* parent = item->parent(); parent; parent = parent->parent())
            parent->setExpanded(true);
        tvwOrg->setCurrentItem(item);
        tvwOrg->scrollToItem(item);
    }
    tvwOrg->setFocus();
}

QTreeWidgetItem* TFrmZQDocTemplateMG::FindClassNodeOfRow(const QTreeWidgetItem* row) const {
    if (!row || !isClassRow(row))
        return nullptr;
    const QString code = row->text(kColRowId);
    for (QTreeWidgetItem* item : treeItems(tvwOrg))
        if (hasNodeRecord(item) && nodeClassCode(item) == code)
            return item;
    return nullptr;
}

QString TFrmZQDocTemplateMG::GetClassPath() const {
    return ClassPathText(selectedNode()).mid(1);
}

// A reload of the tree that keeps the view; the list is filled once, for the final selection.
void TFrmZQDocTemplateMG::reloadKeepingView() {
    {
        const QSignalBlocker blocker(tvwOrg);
        LoadTree();
        RestoreTreeState();
    }
    FillDocList(selectedNode());
    updateActions();
}

void TFrmZQDocTemplateMG::sortDocList(int column) {
    m_sortAscending = column == m_sortColumn ? !m_sortAscending : true;
    m_sortColumn = column;

    QTreeWidgetItem* selected = selectedRow();
    QList<std::pair<QByteArray, QTreeWidgetItem*>> rows;
    {
        const QSignalBlocker blocker(lvwLog);
        while (lvwLog->topLevelItemCount() > 0) {
            QTreeWidgetItem* row = lvwLog->takeTopLevelItem(0);
            rows.append({sortKey(row->text(column)), row});
        }
    }
    // Ascending puts empty texts last; descending is its exact reverse.
    const auto ascending = [](const auto& a, const auto& b) {
        if (a.first.isEmpty() != b.first.isEmpty())
            return b.first.isEmpty();
        return a.first < b.first;
    };
    std::stable_sort(rows.begin(), rows.end(), [&](const auto& a, const auto& b) {
        return m_sortAscending ? ascending(a, b) : ascending(b, a);
    });
    QList<QTreeWidgetItem*> items;
    for (const auto& row : rows)
        items.append(row.second);
    lvwLog->addTopLevelItems(items);
    if (selected)
        lvwLog->setCurrentItem(selected);
    lvwLog->header()->setSortIndicatorShown(true);
    lvwLog->header()->setSortIndicator(column,
                                       m_sortAscending ? Qt::AscendingOrder : Qt::DescendingOrder);
    updateActions();
}

void TFrmZQDocTemplateMG::tvwOrgChange(QTreeWidgetItem* current) {
    FillDocList(current);
}

void TFrmZQDocTemplateMG::tvwOrgClick() {
    FillDocList(selectedNode());
}

// The tree's popup opens only over a node, which the right button selects first; the popup
// then works on that node, not on a row still selected in the list.
bool TFrmZQDocTemplateMG::tvwOrgMouseDown(QMouseEvent* event) {
    if (event->button() != Qt::RightButton)
        return false;
    guarded(this, [&] {
        QTreeWidgetItem* node = tvwOrg->itemAt(event->position().toPoint());
        if (!node)
            return;
        tvwOrg->setCurrentItem(node);
        lvwLog->clearSelection();
        updateActions();
        TBPpMenuClass->popup(event->globalPosition().toPoint());
    });
    return true;
}

bool TFrmZQDocTemplateMG::lvwLogMouseDown(QMouseEvent* event) {
    if (event->button() != Qt::RightButton)
        return false;
    guarded(this, [&] {
        QTreeWidgetItem* row = lvwLog->itemAt(event->position().toPoint());
        if (row) {
            lvwLog->setCurrentItem(row);
        } else {
            lvwLog->clearSelection();
            lvwLog->setCurrentItem(nullptr);
        }
        updateActions();
        (row && isClassRow(row) ? TBPpMenuClass : TBPpMenuDoc)
            ->popup(event->globalPosition().toPoint());
    });
    return true;
}

void TFrmZQDocTemplateMG::lvwLogDblClick() {
    QTreeWidgetItem* row = selectedRow();
    if (!row)
        return;
    if (!isClassRow(row))
        return openTemplate(row);
    if (QTreeWidgetItem* node = FindClassNodeOfRow(row)) {
        tvwOrg->setCurrentItem(node);
        tvwOrg->setFocus();
    }
}

// Class operations.

void TFrmZQDocTemplateMG::ActAddClassExecute() {
    QTreeWidgetItem* row = selectedRow();
    QTreeWidgetItem* node = selectedNode();
    if (!row && !node)
        return;
    SaveTreeState();
    TFrmAddTemplateClass dialog(application());
    dialog.setWindowTitle(QStringLiteral("添加模板分类"));
    const QString parentCode =
        row && isClassRow(row) ? row->text(kColRowId) : (node ? nodeClassCode(node) : QString());
    dialog.setClass(NewChildClassCode(m_db, parentCode));
    if (dialogs().exec(&dialog) != QDialog::Accepted)
        return;
    AddChildClass(m_db, parentCode, dialog.name(), dialog.memo(), dialog.code());
    reloadKeepingView();
}

void TFrmZQDocTemplateMG::ActiEditExecute() {
    EditClassNode(classTarget());
    FillDocList(selectedNode());
}

void TFrmZQDocTemplateMG::EditClassNode(QTreeWidgetItem* node) {
    if (!node || !node->parent())
        return;
    const QStringList record = nodeRecord(node);
    TFrmAddTemplateClass dialog(application());
    dialog.setWindowTitle(QStringLiteral("修改模板分类名称"));
    dialog.setClass(record.value(0), record.value(1), record.value(2));
    if (dialogs().exec(&dialog) != QDialog::Accepted)
        return;
    const QString name = dialog.name().trimmed();
    const QString memo = dialog.memo().trimmed();
    UpdateClass(m_db, dialog.code(), name, memo);
    setNodeRecord(node, {dialog.code(), name, memo});
    node->setText(0, name);
}

void TFrmZQDocTemplateMG::ActDeleteExecute() {
    DeleteClassNode(classTarget());
    FillDocList(selectedNode());
}

void TFrmZQDocTemplateMG::DeleteClassNode(QTreeWidgetItem* node) {
    if (!node || !node->parent())
        return;
    const QString code = nodeClassCode(node);
    const QString refusal = QStringLiteral("此文档模板分类或其子分类已有文档模板信息，不能删除！");
    if (ClassTreeHasTemplates(m_db, code))
        return dialogs().inform(this, applicationTitle(), refusal);
    if (!dialogs().ask(this, applicationTitle(),
                       QStringLiteral("确定删除该文档模板分类吗，此类别下的子类别同时将被删除？")))
        return;
    // A template may have been filed there since the check; the delete checks again.
    if (!DeleteEmptyClassTree(m_db, code))
        return dialogs().inform(this, applicationTitle(), refusal);
    for (const QTreeWidgetItem* selected = selectedNode(); selected;
         selected = selected->parent()) {
        if (selected == node) {
            tvwOrg->setCurrentItem(node->parent());
            break;
        }
    }
    delete node;
}

// Document operations.

void TFrmZQDocTemplateMG::ActAddDocExecute() {
    QTreeWidgetItem* node = selectedNode();
    if (!node)
        return;
    TFrmAddTemplateDoc dialog(application());
    if (dialogs().exec(&dialog) != QDialog::Accepted)
        return;

    const QString classPath = GetClassPath();
    QString typeName;
    QString keyword;
    QString name = dialog.name();
    QString memo = dialog.memo();
    const QString stored = CopyToStore(dialog.filePath(), TemplateStorePath());
    // The copy stays only once a row names it: a refusal or a failure takes it away again.
    bool catalogued = false;
    const auto discardCopy = qScopeGuard([&] {
        if (!catalogued)
            QFile::remove(stored);
    });
    if (hostPlatform().ZQImportNewRes(name, typeName, memo, keyword, stored, classPath, 1) < 0)
        return;
    const qint64 docId =
        InsertTemplate(m_db, {dialog.name(), QFileInfo(stored).fileName(), dialog.memo(),
                              nodeClassCode(node), typeName, keyword});
    catalogued = true;
    const QStringList record = nodeRecord(node);

    auto* row = new QTreeWidgetItem(
        lvwLog, QStringList{dialog.name().trimmed(), dialog.memo().trimmed(), record.value(1),
                            QString::number(docId), TypeCaptionOf(m_db, typeName), stored});
    setImageIndex(row, kTemplateImage);
    updateActions();
}

void TFrmZQDocTemplateMG::ActDeleteDocExecute() {
    QTreeWidgetItem* row = selectedRow();
    if (!row || isClassRow(row))
        return ActDeleteExecute();
    if (!dialogs().ask(this, applicationTitle(), QStringLiteral("确定删除该模板文件吗？")))
        return;
    DeleteTemplate(m_db, row->text(kColRowId).toLongLong());
    // Another row may have been given the same stored file; it keeps it.
    const QString path = row->text(kColFullPath);
    if (!FileNameInUse(m_db, QFileInfo(path).fileName()))
        QFile::remove(path);
    delete row;
    updateActions();
}

void TFrmZQDocTemplateMG::ActeditDocDesExecute() {
    QTreeWidgetItem* row = selectedRow();
    if (!row || isClassRow(row) || row->text(kColCaption).isEmpty())
        return;
    TFrmEditTemplateDoc dialog(application());
    dialog.setTemplate(row->text(kColRowId), row->text(kColCaption), row->text(kColMemo));
    if (dialogs().exec(&dialog) != QDialog::Accepted)
        return;
    UpdateTemplateText(m_db, dialog.docId().trimmed().toLongLong(), dialog.name(), dialog.memo());
    row->setText(kColCaption, dialog.name().trimmed());
    row->setText(kColMemo, dialog.memo().trimmed());
}

void TFrmZQDocTemplateMG::ActeditDocExecute() {
    if (const QTreeWidgetItem* row = selectedRow(); row && !isClassRow(row))
        openTemplate(row);
}

// The viewer works on the stored file itself.
void TFrmZQDocTemplateMG::openTemplate(const QTreeWidgetItem* row) {
    const WaitCursor wait;
    hostPlatform().ViewFile(row->text(kColFullPath), 1,
                            row->text(kColMemo) + QStringLiteral(".模板"));
}

// Navigation.

void TFrmZQDocTemplateMG::ActRefreshExecute() {
    SaveTreeState();
    reloadKeepingView();
}

void TFrmZQDocTemplateMG::actUPExecute() {
    if (const QTreeWidgetItem* node = selectedNode(); node && node->parent())
        tvwOrg->setCurrentItem(node->parent());
}

void TFrmZQDocTemplateMG::selectRow(int index) {
    QTreeWidgetItem* row = lvwLog->topLevelItem(index);
    if (!row)
        return;
    lvwLog->setCurrentItem(row);
    lvwLog->scrollToItem(row);
}

void TFrmZQDocTemplateMG::ActFirstExecute() {
    selectRow(0);
}

void TFrmZQDocTemplateMG::ActPreviousExecute() {
    if (QTreeWidgetItem* row = selectedRow())
        selectRow(lvwLog->indexOfTopLevelItem(row) - 1);
}

void TFrmZQDocTemplateMG::ActNextExecute() {
    QTreeWidgetItem* row = selectedRow();
    selectRow(row ? lvwLog->indexOfTopLevelItem(row) + 1 : 0);
}

void TFrmZQDocTemplateMG::ActLastExecute() {
    selectRow(lvwLog->topLevelItemCount() - 1);
}

void TFrmZQDocTemplateMG::ActRegExecute() {
    if (const QTreeWidgetItem* row = selectedRow())
        RegisterListRow(hostPlatform(), row->text(kColFullPath), row->text(kColMemo));
}

} // namespace zq
