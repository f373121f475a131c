#include "ui/HistoryWindow.h"

#include "widgets/DialogService.h"
#include "widgets/ViewLayout.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace zq {

namespace {

template <typename Control> Control* named(Control* control, const char* name) {
    control->setObjectName(QString::fromUtf8(name));
    return control;
}

// A date of the range, used only while its box is ticked.
QDateEdit* dateField(QCheckBox* box, const char* name) {
    auto* edit = named(new QDateEdit(QDate::currentDate()), name);
    edit->setCalendarPopup(true);
    edit->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    edit->setEnabled(false);
    QObject::connect(box, &QCheckBox::toggled, edit, &QWidget::setEnabled);
    return edit;
}

QString objectText(const HistoryChange& c) {
    if (c.docId != 0)
        return QStringLiteral("模板 %1").arg(c.docId);
    return c.classCode.isEmpty() ? QStringLiteral("模板目录")
                                 : QStringLiteral("分类 %1").arg(c.classCode);
}

} // namespace

HistoryWindow::HistoryWindow(QWidget* parent, const QSqlDatabase& db, const HistoryFilter& filter)
    : QDialog(parent)
    , m_db(db)
    , m_classCode(named(new QLineEdit(filter.classCode), "edtClassCode"))
    , m_docId(named(new QLineEdit(filter.docId ? QString::number(filter.docId) : QString()),
                    "edtDocId"))
    , m_user(named(new QLineEdit(filter.user), "edtUser"))
    , m_useSince(named(new QCheckBox(QStringLiteral("从")), "chkSince"))
    , m_since(dateField(m_useSince, "dtSince"))
    , m_useUntil(named(new QCheckBox(QStringLiteral("到")), "chkUntil"))
    , m_until(dateField(m_useUntil, "dtUntil"))
    , m_rows(named(new QTreeWidget, "lstHistory"))
    , m_more(named(new QPushButton(QStringLiteral("更多")), "btnMore")) {
    setObjectName(QStringLiteral("Frm_History"));
    setWindowTitle(QStringLiteral("历史记录"));
    resize(820, 480);

    auto* filters = new QFormLayout;
    filters->addRow(QStringLiteral("分类编码："), m_classCode);
    filters->addRow(QStringLiteral("模板编号："), m_docId);
    filters->addRow(QStringLiteral("操作人："), m_user);
    auto* dates = new QHBoxLayout;
    for (QWidget* w : {static_cast<QWidget*>(m_useSince), static_cast<QWidget*>(m_since),
                       static_cast<QWidget*>(m_useUntil), static_cast<QWidget*>(m_until)})
        dates->addWidget(w);
    auto* search = named(new QPushButton(QStringLiteral("查询")), "btnQuery");
    dates->addWidget(search);
    dates->addStretch();
    filters->addRow(QStringLiteral("日期："), dates);

    m_rows->setHeaderLabels({QStringLiteral("时间"), QStringLiteral("操作人"),
                             QStringLiteral("计算机"), QStringLiteral("操作"),
                             QStringLiteral("对象"), QStringLiteral("名称"), QStringLiteral("原值"),
                             QStringLiteral("新值")});
    m_rows->setRootIsDecorated(false);
    m_rows->setUniformRowHeights(true);
    fitColumns(m_rows, 5, QStringLiteral("history")); // 名称

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(filters);
    layout->addWidget(m_rows);
    layout->addWidget(m_more, 0, Qt::AlignRight);

    connect(search, &QPushButton::clicked, this, [this] { guarded(this, [this] { query(); }); });
    connect(m_more, &QPushButton::clicked, this,
            [this] { guarded(this, [this] { fetchMore(); }); });
    connect(m_rows->verticalScrollBar(), &QScrollBar::valueChanged, this, [this](int value) {
        if (value == m_rows->verticalScrollBar()->maximum() && m_more->isEnabled())
            guarded(this, [this] { fetchMore(); });
    });
    guarded(this, [this] { query(); });
}

HistoryFilter HistoryWindow::filterOfFields() const {
    HistoryFilter filter;
    filter.classCode = m_classCode->text().trimmed();
    filter.docId = m_docId->text().trimmed().toLongLong();
    filter.user = m_user->text().trimmed();
    if (m_useSince->isChecked())
        filter.since = m_since->date().startOfDay();
    if (m_useUntil->isChecked())
        filter.until = m_until->date().addDays(1).startOfDay();
    return filter;
}

void HistoryWindow::query() {
    m_filter = filterOfFields();
    m_rows->clear();
    m_lastId = 0;
    fetchMore();
}

void HistoryWindow::fetchMore() {
    const QList<HistoryEntry> page = readHistory(m_db, m_filter, m_lastId, kPageRows);
    QList<QTreeWidgetItem*> items;
    for (const HistoryEntry& e : page) {
        const HistoryChange& c = e.change;
        items.append(new QTreeWidgetItem(
            QStringList{e.when.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), e.user, e.host,
                        historyActionName(c.action), objectText(c), c.name, c.before, c.after}));
    }
    m_rows->addTopLevelItems(items);
    if (!page.isEmpty())
        m_lastId = page.last().id;
    m_more->setEnabled(page.size() == kPageRows);
}

} // namespace zq
