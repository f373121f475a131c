#include "ui/ClassPickerDialog.h"

#include "catalogue/CatalogueFollower.h"
#include "ui/ClassTreeState.h"
#include "widgets/DialogControls.h"
#include "widgets/DialogService.h"
#include "widgets/TreeNodes.h"
#include "widgets/ViewLayout.h"

#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace zq {

ClassPickerDialog::ClassPickerDialog(QWidget* owner, const QSqlDatabase& db)
    : QDialog(owner)
    , m_db(db) {
    setObjectName(QStringLiteral("Frm_modeTree"));
    setWindowTitle(QStringLiteral("模板列表"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    resize(306, 401);

    m_tree = new QTreeWidget;
    m_tree->setObjectName(QStringLiteral("tvwOrg"));
    m_tree->setHeaderHidden(true);
    m_tree->setIndentation(19);
    showWholeLabels(m_tree);
    m_tree->setSelectionMode(QAbstractItemView::SingleSelection);
    m_tree->setEditTriggers(QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed);

    auto* buttons = new QWidget;
    buttons->setObjectName(QStringLiteral("RzPanel1"));
    buttons->setFixedHeight(31);
    m_ok = new QPushButton(QStringLiteral("确定"), buttons);
    m_ok->setObjectName(QStringLiteral("RzBitBtn1"));
    auto* cancel = new QPushButton(QStringLiteral("取消"), buttons);
    cancel->setObjectName(QStringLiteral("RzBitBtn2"));
    for (QPushButton* button : {m_ok, cancel}) {
        pressOnFocusedEnter(button);
        button->resize(std::max(75, button->sizeHint().width()),
                       std::max(25, button->sizeHint().height()));
    }
    acceptOnEnter(m_ok);
    m_ok->move(106, 3);
    cancel->move(200, 3);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_tree, 1);
    layout->addWidget(buttons);

    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_tree, &QTreeWidget::itemSelectionChanged, this, &ClassPickerDialog::updateOk);

    fillTree();
    if (QTreeWidgetItem* root = m_tree->topLevelItem(0)) {
        m_tree->setCurrentItem(root);
        root->setExpanded(true);
    }
    m_tree->setFocus();
    updateOk();
    connect(m_tree, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item) {
        m_editedLabels.insert(nodeClassCode(item), item->text(0));
    });
    m_state = new ClassTreeState(m_tree);
    auto* follower = new CatalogueFollower(this, m_db);
    connect(follower, &CatalogueFollower::changesArrived, this,
            [this](const QList<CatalogueChange>& changes) {
                guarded(this, [&] { followChanges(changes); });
            });
}

void ClassPickerDialog::refuseTargets(const std::function<bool(const QString&)>& refused) {
    m_refused = refused;
    const QSignalBlocker blocker(m_tree); // no label edit
    const QBrush grey = palette().brush(QPalette::Disabled, QPalette::Text);
    for (QTreeWidgetItem* item : treeItems(m_tree)) {
        if (!refused(nodeClassCode(item)))
            continue;
        // Only unselectable: a disabled item would disable its whole subtree with it.
        item->setFlags(item->flags() & ~Qt::ItemIsSelectable);
        item->setForeground(0, grey);
        item->setSelected(false);
    }
    updateOk();
}

void ClassPickerDialog::fillTree() {
    const QSignalBlocker blocker(m_tree);
    loadClassTree(m_tree, m_db);
    for (QTreeWidgetItem* item : treeItems(m_tree)) {
        item->setFlags(item->flags() | Qt::ItemIsEditable);
        if (const auto label = m_editedLabels.constFind(nodeClassCode(item));
            label != m_editedLabels.cend())
            item->setText(0, *label);
    }
}

void ClassPickerDialog::followChanges(const QList<CatalogueChange>& changes) {
    if (std::none_of(changes.cbegin(), changes.cend(),
                     [](const CatalogueChange& c) { return c.changesClasses(); }))
        return;
    // A label being typed is finished first.
    const QList<QLineEdit*> editors =
        m_tree->viewport()->findChildren<QLineEdit*>(Qt::FindDirectChildrenOnly);
    if (std::any_of(editors.cbegin(), editors.cend(),
                    [](QLineEdit* e) { return e->isVisible(); })) {
        QTimer::singleShot(200, this,
                           [this, changes] { guarded(this, [&] { followChanges(changes); }); });
        return;
    }
    const int scroll = m_tree->verticalScrollBar()->value();
    m_state->save();
    fillTree();
    if (m_refused)
        refuseTargets(m_refused);
    {
        const QSignalBlocker blocker(m_tree);
        m_state->restore();
    }
    m_tree->verticalScrollBar()->setValue(scroll);
    updateOk();
}

QTreeWidgetItem* ClassPickerDialog::selectedNode() const {
    return m_tree->selectedItems().value(0);
}

QString ClassPickerDialog::selectedCode() const {
    return selectedNode() ? nodeClassCode(selectedNode()) : QString();
}

QString ClassPickerDialog::selectedPath() const {
    return classPathText(selectedNode());
}

void ClassPickerDialog::updateOk() {
    m_ok->setEnabled(selectedNode() != nullptr);
}

} // namespace zq
