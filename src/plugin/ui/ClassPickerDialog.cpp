#include "ui/ClassPickerDialog.h"

#include "widgets/DialogControls.h"
#include "widgets/TreeNodes.h"

#include <QKeyEvent>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace zq {

ClassPickerDialog::ClassPickerDialog(QWidget* owner, const QSqlDatabase& db)
    : QDialog(owner) {
    setObjectName(QStringLiteral("Frm_modeTree"));
    setWindowTitle(QStringLiteral("模板列表"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    resize(306, 401);

    m_tree = new QTreeWidget;
    m_tree->setObjectName(QStringLiteral("tvwOrg"));
    m_tree->setHeaderHidden(true);
    m_tree->setIndentation(19);
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
        button->setAutoDefault(false);
        button->resize(std::max(75, button->sizeHint().width()),
                       std::max(25, button->sizeHint().height()));
    }
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

    loadClassTree(m_tree, db);
    for (QTreeWidgetItem* item : treeItems(m_tree))
        item->setFlags(item->flags() | Qt::ItemIsEditable);
    if (QTreeWidgetItem* root = m_tree->topLevelItem(0)) {
        m_tree->setCurrentItem(root);
        root->setExpanded(true);
    }
    m_tree->setFocus();
    updateOk();
}

void ClassPickerDialog::refuseTargets(const std::function<bool(const QString&)>& refused) {
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

QTreeWidgetItem* ClassPickerDialog::selectedNode() const {
    return m_tree->selectedItems().value(0);
}

QString ClassPickerDialog::selectedCode() const {
    return selectedNode() ? nodeClassCode(selectedNode()) : QString();
}

QString ClassPickerDialog::selectedPath() const {
    return classPathText(selectedNode());
}

// Enter and Esc never close the picker: Enter ends a label edit, OK and Cancel close it.
void ClassPickerDialog::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
        event->accept();
        return;
    default:
        QDialog::keyPressEvent(event);
    }
}

void ClassPickerDialog::updateOk() {
    m_ok->setEnabled(selectedNode() != nullptr);
}

} // namespace zq
