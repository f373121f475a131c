#pragma once

#include <QIcon>

namespace zq {

// The window's image list, by index: 0 and 11 a template, 10 a class, the others the images
// of the actions.
QIcon imageListIcon(int index);

} // namespace zq
