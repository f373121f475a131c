#pragma once

#include <QPixmap>

class QModelIndex;
class QWidget;

namespace zq {

// What follows the cursor while an item is dragged: its icon and name on a small label, so the
// rows and classes it passes over stay in sight. A long name is cut short.
QPixmap dragPicture(const QModelIndex& item, const QWidget* view);

} // namespace zq
