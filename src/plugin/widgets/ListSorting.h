#pragma once

#include <QList>
#include <QStringList>

class QTreeView;

namespace zq {

// The order of a report list's rows by one column's texts: their GB18030 bytes compared byte by
// byte, a-z taken as capitals, empty texts last; descending is the exact reverse. Gives the
// positions of the texts in their new order; equal texts keep theirs.
QList<qsizetype> reportOrder(const QStringList& texts, bool ascending);

// Sorts the rows of a report list by one column in that order: the selected row stays selected
// and the header shows the order.
void sortReportRows(QTreeView* list, int column, bool ascending);

} // namespace zq
