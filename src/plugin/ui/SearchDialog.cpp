#include "ui/SearchDialog.h"

#include "catalogue/CatalogueFollower.h"
#include "catalogue/TemplateFiles.h"
#include "catalogue/TemplateSearch.h"
#include "catalogue/TemplateStore.h"
#include "ui/ClassPickerDialog.h"
#include "ui/TemplateEditing.h"
#include "widgets/DialogControls.h"
#include "widgets/DialogService.h"
#include "widgets/Icons.h"
#include "widgets/ListSorting.h"
#include "widgets/OverrideCursor.h"
#include "widgets/ReportListModel.h"
#include "widgets/TreeNodes.h"
#include "widgets/UiReferences.h"
#include "widgets/ViewLayout.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QToolBar>
#include <QTreeView>
#include <QVBoxLayout>

namespace zq {

namespace {

// Places a control at its pixel position, tall enough for the font.
template <typename Control> Control* place(Control* control, const char* name, QRect geometry) {
    control->setObjectName(QString::fromUtf8(name));
    geometry.setHeight(std::max(geometry.height(), control->sizeHint().height()));
    control->setGeometry(geometry);
    return control;
}

// A criterion's box enables its fields exactly while it is ticked, also when ticked from
// outside.
void enableWhileTicked(QCheckBox* box, std::initializer_list<QWidget*> fields) {
    const QList<QWidget*> list(fields);
    const auto follow = [list](bool ticked) {
        for (QWidget* field : list)
            field->setEnabled(ticked);
    };
    QObject::connect(box, &QCheckBox::toggled, box, follow);
    follow(box->isChecked());
}

} // namespace

SearchDialog::SearchDialog(QWidget* owner, const QSqlDatabase& db, TemplateEditing& editing)
    : QDialog(owner)
    , m_db(db)
    , m_editing(editing) {
    setObjectName(QStringLiteral("Frm_findDoc"));
    setWindowTitle(QStringLiteral("查找"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(495, 415);

    createCriteria();
    createResults();
    m_status = place(new QLabel(this), "statusLine", {8, 394, 480, 18});
    guarded(this, [this] { fillTypeList(); });
    updateActions();
    auto* follower = new CatalogueFollower(this, m_db);
    connect(follower, &CatalogueFollower::changesArrived, this,
            [this] { guarded(this, [this] { followChanges(); }); });
    connect(follower, &CatalogueFollower::connectionLost, this,
            [this](bool lost) { m_status->setText(CatalogueFollower::connectionText(lost)); });
}

void SearchDialog::createCriteria() {
    auto* box = place(new QGroupBox(this), "RzGroupBox1", {5, 0, 487, 170});

    m_byName =
        place(new QCheckBox(QStringLiteral("模板名称："), box), "ChkBoxModeName", {6, 14, 80, 20});
    m_name = place(new QLineEdit(box), "edtModeName", {88, 13, 385, 20});
    m_byType =
        place(new QCheckBox(QStringLiteral("资料类型："), box), "ChkBoxModeType", {6, 46, 80, 20});
    m_type = place(new QComboBox(box), "edtModetype", {88, 45, 385, 20});
    m_byClass =
        place(new QCheckBox(QStringLiteral("模板分类："), box), "ChkBoxModeClass", {6, 78, 80, 20});
    m_classPath = place(new QLineEdit(box), "edtModeClass", {88, 77, 355, 20});
    m_browse = place(new QPushButton(QStringLiteral("..."), box), "BtnBro", {448, 77, 26, 20});
    m_browse->setFixedHeight(m_classPath->height());
    m_browse->setAutoDefault(false);

    auto* mode =
        place(new QGroupBox(QStringLiteral("搜索方式"), box), "RzRadioGroup1", {8, 111, 185, 49});
    m_exact = new QRadioButton(QStringLiteral("完全匹配"));
    m_exact->setObjectName(QStringLiteral("RadioMatChing"));
    auto* fuzzy = new QRadioButton(QStringLiteral("模糊查询"));
    fuzzy->setObjectName(QStringLiteral("RadioBlur"));
    fuzzy->setChecked(true);
    auto* modeLayout = new QHBoxLayout(mode);
    modeLayout->setContentsMargins(8, 0, 8, 2);
    modeLayout->addWidget(m_exact);
    modeLayout->addWidget(fuzzy);

    m_withinLast = place(new QCheckBox(QStringLiteral("在上次查询结果中继续搜索"), box),
                         "ChkBoxSer", {200, 141, 190, 20});
    m_searchButton = place(new QPushButton(imageListIcon(3), QStringLiteral("查找"), box),
                           "BtnSerch", {400, 135, 75, 25});
    // Enter in a field searches.
    m_searchButton->setDefault(true);

    enableWhileTicked(m_byName, {m_name});
    enableWhileTicked(m_byType, {m_type});
    enableWhileTicked(m_byClass, {m_classPath, m_browse});
    connect(m_browse, &QPushButton::clicked, this,
            [this] { guarded(this, [&] { chooseClass(); }); });
    connect(m_searchButton, &QPushButton::clicked, this,
            [this] { guarded(this, [&] { search(); }); });
}

void SearchDialog::createResults() {
    auto* box =
        place(new QGroupBox(QStringLiteral("搜索结果"), this), "RzGroupBox2", {5, 175, 487, 217});

    const auto addAction = [this](const char* name, const QString& caption, int image,
                                  void (SearchDialog::*handler)()) {
        auto* act = new QAction(imageListIcon(image), caption, this);
        act->setObjectName(QString::fromUtf8(name));
        act->setToolTip(caption);
        act->setProperty("category", QStringLiteral("文档模板操作"));
        connect(act, &QAction::triggered, this,
                [this, handler] { guarded(this, [&] { (this->*handler)(); }); });
        return act;
    };
    m_open = addAction("actActeditDoc", QStringLiteral("修改模板文件内容"), 15,
                       &SearchDialog::openSelected);
    m_remove = addAction("actActDeleteDoc", QStringLiteral("删除模板文件"), 1,
                         &SearchDialog::deleteSelected);

    auto* toolBar = new QToolBar(box);
    toolBar->setObjectName(QStringLiteral("TBToolbar1"));
    toolBar->setIconSize(QSize(16, 16));
    toolBar->addAction(m_open);
    toolBar->addSeparator();
    toolBar->addAction(m_remove);

    auto* popup = new QMenu(this);
    popup->setObjectName(QStringLiteral("TBPopupMenu1"));
    popup->addAction(m_open);
    popup->addSeparator();
    popup->addAction(m_remove);

    createResultList();

    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(4, 2, 4, 4);
    layout->setSpacing(0);
    layout->addWidget(toolBar);
    layout->addWidget(m_results, 1);

    connect(m_results->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &SearchDialog::updateActions);
    connect(m_results->header(), &QHeaderView::sectionClicked, this,
            [this](int clicked) { guarded(this, [&] { sortResults(clicked); }); });
    connect(m_results, &QTreeView::doubleClicked, m_open, &QAction::trigger);
    connect(m_results, &QWidget::customContextMenuRequested, this, [this, popup](QPoint at) {
        if (const QModelIndex row = m_results->indexAt(at); row.isValid())
            m_results->setCurrentIndex(row);
        popup->popup(m_results->viewport()->mapToGlobal(at));
    });
}

void SearchDialog::createResultList() {
    using enum ReportField;
    m_resultRows = new ReportListModel({Id, Caption, Memo, ClassName, TypeCaption, FilePath},
                                       {QStringLiteral("模板编号"), QStringLiteral("模板名称"),
                                        QStringLiteral("模板说明"), QStringLiteral("模板分类"),
                                        QStringLiteral("资料类型")});
    m_results = newReportList(m_resultRows);
    m_results->setObjectName(QStringLiteral("lvwLog"));
    m_results->setColumnHidden(kResultFullPath, true);
    fitColumns(m_results, m_resultRows->columnOf(ReportField::Caption), QStringLiteral("search"));
    m_results->setContextMenuPolicy(Qt::CustomContextMenu);
}

void SearchDialog::setClassPath(const QString& path) {
    m_classPath->setText(path);
    if (!path.isEmpty())
        m_byClass->setChecked(true);
}

QAction* SearchDialog::action(const QString& name) const {
    return findChild<QAction*>(name, Qt::FindDirectChildrenOnly);
}

// Enter on a result row opens it rather than searching again with the default button.
void SearchDialog::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) && m_results->hasFocus())
        return m_open->trigger();
    QDialog::keyPressEvent(event);
}

void SearchDialog::fillTypeList() {
    m_type->clear();
    m_type->addItems(typeCaptions(m_db));
    if (m_type->count() > 0)
        m_type->setCurrentIndex(0);
}

SearchCriteria SearchDialog::criteria() const {
    SearchCriteria criteria;
    criteria.byName = m_byName->isChecked();
    criteria.name = m_name->text();
    criteria.byType = m_byType->isChecked();
    criteria.typeCaption = m_type->currentText();
    criteria.byClass = m_byClass->isChecked();
    criteria.classPath = m_classPath->text();
    criteria.mode = m_exact->isChecked() ? MatchMode::Exact : MatchMode::Fuzzy;
    criteria.withinLast = m_withinLast->isChecked();
    criteria.lastIds = m_lastResultIds;
    return criteria;
}

void SearchDialog::chooseClass() {
    ClassPickerDialog picker(application(), m_db);
    if (dialogs().exec(&picker) == QDialog::Accepted)
        m_classPath->setText(picker.selectedPath());
}

void SearchDialog::search() {
    if (m_withinLast->isChecked() && m_resultRows->rowCount() == 0)
        return;
    QList<ListedTemplate> rows;
    try {
        rows = searchTemplates(m_db, criteria());
    } catch (const SearchRefused& refusal) {
        dialogs().inform(this, applicationTitle(), refusal.message());
        return;
    }
    if (rows.isEmpty())
        return dialogs().inform(this, applicationTitle(), QStringLiteral("没有查找到指定的信息！"));

    QList<ReportRow> found;
    QList<qint64> ids;
    found.reserve(rows.size());
    ids.reserve(rows.size());
    for (const ListedTemplate& listed : std::as_const(rows)) {
        found.append(templateReportRow(listed));
        ids.append(listed.record.docId);
    }
    m_sortColumn = -1;
    m_results->header()->setSortIndicatorShown(false);
    m_resultRows->setRows(std::move(found));
    m_lastResultIds = ids;
    updateActions();
}

void SearchDialog::openSelected() {
    const int selected = selectedRowIndex(m_results);
    if (selected < 0)
        return;
    const ReportRow& row = m_resultRows->row(selected);
    // A row whose file name has no place in the store has no file to open.
    if (row.filePath.isEmpty())
        return dialogs().inform(this, applicationTitle(), QStringLiteral("该模板的文件不存在！"));
    const OverrideCursor wait(Qt::WaitCursor);
    m_editing.open(row.filePath, row.caption + QStringLiteral(".模板"));
}

void SearchDialog::deleteSelected() {
    const int selected = selectedRowIndex(m_results);
    if (selected < 0)
        return;
    const qint64 docId = m_resultRows->row(selected).docId;
    if (!dialogs().ask(this, applicationTitle(), QStringLiteral("确定删除该模板文件吗？")))
        return;
    deleteTemplateAndFile(m_db, docId);
    m_lastResultIds.removeAll(docId);
    m_resultRows->removeTemplate(docId);
    updateActions();
}

void SearchDialog::followChanges() {
    if (m_lastResultIds.isEmpty())
        return;
    SearchCriteria listed;
    listed.withinLast = true;
    listed.lastIds = m_lastResultIds;
    QHash<qint64, ListedTemplate> current;
    for (const ListedTemplate& row : searchTemplates(m_db, listed))
        current.insert(row.record.docId, row);
    const int selected = selectedRowIndex(m_results);
    const qint64 selectedId = selected < 0 ? 0 : m_resultRows->row(selected).docId;
    const int scroll = m_results->verticalScrollBar()->value();
    QList<ReportRow> rows;
    for (int i = 0; i < m_resultRows->rowCount(); ++i)
        if (const auto found = current.constFind(m_resultRows->row(i).docId);
            found != current.cend())
            rows.append(templateReportRow(*found));
    m_lastResultIds.removeIf([&](qint64 id) { return !current.contains(id); });
    m_resultRows->setRows(std::move(rows));
    for (int i = 0; i < m_resultRows->rowCount(); ++i)
        if (m_resultRows->row(i).docId == selectedId)
            m_results->setCurrentIndex(m_resultRows->index(i, 0));
    m_results->verticalScrollBar()->setValue(scroll);
    if (selectedId != 0 && !current.contains(selectedId))
        m_status->setText(CatalogueFollower::vanishedTemplateText());
    updateActions();
}

void SearchDialog::sortResults(int column) {
    m_sortAscending = column == m_sortColumn ? !m_sortAscending : true;
    m_sortColumn = column;
    sortReportRows(m_results, column, m_sortAscending);
}

void SearchDialog::updateActions() {
    const bool selected = selectedRowIndex(m_results) >= 0;
    m_open->setEnabled(selected);
    m_remove->setEnabled(selected);
}

} // namespace zq
