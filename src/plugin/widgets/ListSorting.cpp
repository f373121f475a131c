#include "widgets/ListSorting.h"

#include "util/Gb18030.h"

#include <QHeaderView>
#include <QSignalBlocker>
#include <QTreeWidget>

#include <algorithm>

namespace zq {

namespace {

QByteArray sortKey(const QString& text) {
    QByteArray bytes = toGb18030(text);
    for (char& c : bytes)
        if (c >= 'a' && c <= 'z')
            c = char(c - 'a' + 'A');
    return bytes;
}

} // namespace

void sortReportRows(QTreeWidget* list, int column, bool ascending) {
    QTreeWidgetItem* selected = list->selectedItems().value(0);
    QList<std::pair<QByteArray, QTreeWidgetItem*>> rows;
    {
        const QSignalBlocker blocker(list);
        while (list->topLevelItemCount() > 0) {
            QTreeWidgetItem* row = list->takeTopLevelItem(0);
            rows.append({sortKey(row->text(column)), row});
        }
    }
    const auto before = [](const auto& a, const auto& b) {
        if (a.first.isEmpty() != b.first.isEmpty())
            return b.first.isEmpty();
        return a.first < b.first;
    };
    std::stable_sort(rows.begin(), rows.end(), [&](const auto& a, const auto& b) {
        return ascending ? before(a, b) : before(b, a);
    });
    QList<QTreeWidgetItem*> items;
    for (const auto& row : rows)
        items.append(row.second);
    list->addTopLevelItems(items);
    if (selected)
        list->setCurrentItem(selected);
    list->header()->setSortIndicatorShown(true);
    list->header()->setSortIndicator(column, ascending ? Qt::AscendingOrder : Qt::DescendingOrder);
}

} // namespace zq
