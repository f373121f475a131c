#pragma once

class QTreeWidget;

namespace zq {

// Sorts the rows of a report list by one column's text: its GB18030 bytes compared byte by
// byte, a-z taken as capitals, empty texts last; descending is the exact reverse. The selected
// row stays selected and the header shows the order.
void sortReportRows(QTreeWidget* list, int column, bool ascending);

} // namespace zq
