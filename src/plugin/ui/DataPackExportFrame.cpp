#include "ui/DataPackExportFrame.h"

#include "catalogue/NodeRecords.h"
#include "ui/DialogControls.h"
#include "ui/TreeNodes.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace zq {

DataPackExportFrame::DataPackExportFrame(QWidget* parent)
    : QWidget(parent) {
    resize(443, 277);
    m_tree = new QTreeWidget;
    m_tree->setObjectName(QStringLiteral("cktreeDocTemp"));
    m_tree->setHeaderHidden(true);
    m_tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    keepSelectionVisible(m_tree);

    auto* panel = new QFrame;
    panel->setObjectName(QStringLiteral("RzPanel2"));
    panel->setFrameShape(QFrame::StyledPanel);
    auto* fields = new QVBoxLayout(panel);
    const auto field = [&](const char* label, QWidget* edit, const char* name) {
        edit->setObjectName(QString::fromUtf8(name));
        fields->addWidget(new QLabel(QString::fromUtf8(label)));
        fields->addWidget(edit);
    };
    m_name = new QLineEdit;
    m_type = new QLineEdit;
    m_memo = new QPlainTextEdit;
    m_name->setReadOnly(true);
    m_type->setReadOnly(true);
    m_memo->setReadOnly(true);
    field("模板名称：", m_name, "edtName");
    field("模板类型：", m_type, "edtType");
    field("模板说明：", m_memo, "edtMemo");

    m_detail = new QWidget;
    m_detail->setObjectName(QStringLiteral("RzPanel1"));
    m_detail->setFixedWidth(238);
    auto* detailLayout = new QVBoxLayout(m_detail);
    detailLayout->setContentsMargins(4, 0, 0, 0);
    detailLayout->addWidget(panel);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_tree, 1);
    layout->addWidget(m_detail);
    connect(m_tree, &QTreeWidget::currentItemChanged, this, &DataPackExportFrame::showNode);
}

// cktreeDocTempChange: the selected node's caption, type and description.
void DataPackExportFrame::showNode() {
    const TemplateRecord record = TemplateRecord::fromList(nodeRecord(m_tree->currentItem()));
    m_name->setText(record.caption);
    m_type->setText(record.typeName);
    m_memo->setPlainText(record.memo);
}

} // namespace zq
