#pragma once

#include <QString>

class QSplitter;
class QTreeView;

namespace zq {

// The columns of a list take the width their texts need, each at most a quarter of the view,
// and the name column what is left. Once a person resizes a column, the window's widths are
// kept in the host's settings under the key and used from then on. A cell its column cuts
// short shows its whole text as a tooltip.
void fitColumns(QTreeView* list, int nameColumn, const QString& key);
// A person's sizes of the splitter's panes are kept in the host's settings under the key.
void rememberSizes(QSplitter* splitter, const QString& key);
// A tree's column is as wide as its widest label: a deep label scrolls sideways instead of
// being cut short, and one cut off by the view's edge shows whole as a tooltip.
void showWholeLabels(QTreeView* tree);

} // namespace zq
