#include "ui/DataPackFrame.h"

#include "catalogue/TemplateDocuments.h"
#include "exchange/DataPack.h"
#include "ui/SelectionTreeView.h"
#include "widgets/ClassNodeItem.h"
#include "widgets/DialogControls.h"
#include "widgets/TreeNodes.h"
#include "widgets/ViewLayout.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace zq {

namespace {

QFrame* panel(QWidget* parent, const QString& name, QFrame::Shape shape) {
    auto* frame = new QFrame(parent);
    frame->setObjectName(name);
    frame->setFrameShape(shape);
    return frame;
}

} // namespace

DataPackFrame::DataPackFrame(QWidget* parent)
    : QFrame(parent) {
    resize(443, 277);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    QFrame* left = panel(this, QStringLiteral("RzPanel3"), QFrame::NoFrame);
    auto* leftLayout = new QVBoxLayout(left);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    m_tree = new QTreeWidget(left);
    m_tree->setObjectName(QStringLiteral("cktreeDocTemp"));
    m_tree->setHeaderHidden(true);
    m_tree->setFrameShape(QFrame::StyledPanel);
    m_tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    keepSelectionVisible(m_tree);
    showWholeLabels(m_tree);
    leftLayout->addWidget(m_tree);
    layout->addWidget(left, 1);

    QFrame* right = panel(this, QStringLiteral("RzPanel1"), QFrame::NoFrame);
    right->setFixedWidth(238);
    auto* rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(4, 0, 0, 0);
    QFrame* fields = panel(right, QStringLiteral("RzPanel2"), QFrame::StyledPanel);
    auto* fieldLayout = new QVBoxLayout(fields);
    fieldLayout->setContentsMargins(12, 8, 12, 8);
    const auto addField = [&](const QString& name, const QString& label, QWidget* field) {
        auto* caption = new QLabel(label, fields);
        caption->setBuddy(field);
        field->setObjectName(name);
        fieldLayout->addWidget(caption);
        fieldLayout->addWidget(field);
    };
    m_name = new QLineEdit(fields);
    m_name->setReadOnly(true);
    addField(QStringLiteral("edtName"), QStringLiteral("模板名称："), m_name);
    m_type = new QLineEdit(fields);
    m_type->setReadOnly(true);
    addField(QStringLiteral("edtType"), QStringLiteral("模板类型："), m_type);
    m_memo = new QPlainTextEdit(fields);
    m_memo->setReadOnly(true);
    addField(QStringLiteral("edtMemo"), QStringLiteral("模板说明："), m_memo);
    fieldLayout->setStretch(5, 1);
    rightLayout->addWidget(fields);
    layout->addWidget(right);
    m_detail = right;

    connect(m_tree, &QTreeWidget::currentItemChanged, this, &DataPackFrame::showDetail);
}

void DataPackFrame::setDetailVisible(bool visible) {
    m_detail->setVisible(visible);
}

void DataPackFrame::removeCheckBoxes() {
    for (QTreeWidgetItem* item : treeItems(m_tree)) {
        item->setFlags(item->flags() & ~(Qt::ItemIsUserCheckable | Qt::ItemIsAutoTristate));
        item->setData(0, Qt::CheckStateRole, QVariant());
    }
}

void DataPackFrame::showDetail() {
    m_name->clear();
    m_type->clear();
    m_memo->clear();
    const QTreeWidgetItem* item = m_tree->currentItem();
    if (!item || !hasNodeRecord(item))
        return;
    const TemplateRecord record = TemplateRecord::fromList(nodeRecord(item));
    m_name->setText(record.caption);
    m_type->setText(record.typeName);
    m_memo->setPlainText(record.memo);
}

void DataPackFrame::showCatalogue(const QSqlDatabase& db) {
    disconnect(m_fillOnOpen);
    m_fillOnOpen = fillTemplatesWhenOpened(m_tree, db, kSelectionForm);
    fillSelectionView(m_tree, fillSelectionTree(db), true);
}

void DataPackFrame::showPackage(const QString& packagePath) {
    const std::optional<QList<ManifestEntry>> entries = readDataPack(packagePath);
    if (!entries)
        return;
    fillSelectionView(m_tree, packageSelectionTree(*entries), true);
}

SelectionNode DataPackFrame::selection() const {
    return selectionOfView(m_tree);
}

DataPackFrame::Ticked DataPackFrame::ticked() const {
    Ticked result;
    for (const QTreeWidgetItem* item : treeItems(m_tree)) {
        if (item->checkState(0) != Qt::Checked)
            continue;
        ++result.nodes;
        const TemplateRecord record = TemplateRecord::fromList(nodeRecord(item));
        const int image = imageIndex(item);
        if (image == kClassImage && !record.classCode.isEmpty())
            result.entries.append({ManifestEntry::Kind::Class, record});
        else if (image == kTemplateImage)
            result.entries.append({ManifestEntry::Kind::Template, record});
    }
    return result;
}

} // namespace zq
