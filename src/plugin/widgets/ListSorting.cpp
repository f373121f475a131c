#include "widgets/ListSorting.h"

#include "util/Gb18030.h"

#include <QHeaderView>
#include <QTreeView>

#include <algorithm>
#include <numeric>

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

QList<qsizetype> reportOrder(const QStringList& texts, bool ascending) {
    QList<QByteArray> keys;
    keys.reserve(texts.size());
    for (const QString& text : texts)
        keys.append(sortKey(text));
    const auto before = [&keys](qsizetype a, qsizetype b) {
        if (keys[a].isEmpty() != keys[b].isEmpty())
            return keys[b].isEmpty();
        return keys[a] < keys[b];
    };
    QList<qsizetype> order(texts.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](qsizetype a, qsizetype b) {
        return ascending ? before(a, b) : before(b, a);
    });
    return order;
}

void sortReportRows(QTreeView* list, int column, bool ascending) {
    const Qt::SortOrder order = ascending ? Qt::AscendingOrder : Qt::DescendingOrder;
    list->model()->sort(column, order);
    list->header()->setSortIndicatorShown(true);
    list->header()->setSortIndicator(column, order);
}

} // namespace zq
