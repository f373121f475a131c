#include "ui/RecycleBinWindow.h"

#include "catalogue/RecycleBin.h"
#include "ui/ClassPickerDialog.h"
#include "widgets/DialogService.h"
#include "widgets/UiReferences.h"
#include "widgets/ViewLayout.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace zq {

RecycleBinWindow::RecycleBinWindow(QWidget* parent, const QSqlDatabase& db)
    : QDialog(parent)
    , m_db(db)
    , m_items(new QTreeWidget)
    , m_restore(new QPushButton(QStringLiteral("恢复")))
    , m_empty(new QPushButton(QStringLiteral("清空回收站"))) {
    setObjectName(QStringLiteral("Frm_RecycleBin"));
    setWindowTitle(QStringLiteral("回收站"));
    resize(640, 400);
    m_items->setObjectName(QStringLiteral("lstBin"));
    m_restore->setObjectName(QStringLiteral("btnRestore"));
    m_empty->setObjectName(QStringLiteral("btnEmpty"));
    m_items->setHeaderLabels({QStringLiteral("删除时间"), QStringLiteral("操作人"),
                              QStringLiteral("对象"), QStringLiteral("名称"),
                              QStringLiteral("分类"), QStringLiteral("模板")});
    m_items->setRootIsDecorated(false);
    fitColumns(m_items, 3, QStringLiteral("bin")); // 名称

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_restore);
    buttons->addWidget(m_empty);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_items);
    layout->addLayout(buttons);

    connect(m_restore, &QPushButton::clicked, this,
            [this] { guarded(this, [this] { restoreSelected(); }); });
    connect(m_empty, &QPushButton::clicked, this,
            [this] { guarded(this, [this] { emptyAll(); }); });
    connect(m_items, &QTreeWidget::currentItemChanged, this,
            [this] { m_restore->setEnabled(m_items->currentItem() != nullptr); });
    guarded(this, [this] { fill(); });
}

void RecycleBinWindow::fill() {
    m_items->clear();
    for (const BinItem& item : readBin(m_db)) {
        auto* row = new QTreeWidgetItem(
            QStringList{item.deletedAt.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), item.user,
                        item.docId != 0 ? QStringLiteral("模板")
                                        : QStringLiteral("分类 %1").arg(item.classCode),
                        item.name, QString::number(item.classes), QString::number(item.templates)});
        row->setData(0, Qt::UserRole, item.id);
        m_items->addTopLevelItem(row);
    }
    m_restore->setEnabled(m_items->currentItem() != nullptr);
    m_empty->setEnabled(m_items->topLevelItemCount() > 0);
}

void RecycleBinWindow::restoreSelected() {
    const QTreeWidgetItem* row = m_items->currentItem();
    if (!row)
        return;
    const qint64 item = row->data(0, Qt::UserRole).toLongLong();
    BinRestore restored;
    try {
        restored = restoreFromBin(m_db, item);
    } catch (const BinPlaceTaken& taken) {
        dialogs().inform(this, windowTitle(), taken.message());
        ClassPickerDialog picker(application(), m_db);
        picker.setWindowTitle(QStringLiteral("恢复到"));
        if (dialogs().exec(&picker) != QDialog::Accepted)
            return;
        restored = restoreFromBin(m_db, item, picker.selectedCode());
    }
    fill();
    dialogs().inform(this, windowTitle(), restored.summary());
}

void RecycleBinWindow::emptyAll() {
    const int count = m_items->topLevelItemCount();
    if (count == 0 ||
        !dialogs().ask(
            this, windowTitle(),
            QStringLiteral("永久删除回收站中的 %1 项及其文件？此操作不能撤销。").arg(count)))
        return;
    emptyBin(m_db);
    fill();
}

} // namespace zq
