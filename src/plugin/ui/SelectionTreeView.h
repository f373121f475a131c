#pragma once

#include "exchange/SelectionTree.h"

class QTreeWidget;

namespace zq {

// A selection tree shown in a tree view: the root labelled "文档模板分类信息", every node with its
// seven-field record and image, tri-state check boxes when checkable; the root selected and
// expanded.
void fillSelectionView(QTreeWidget* view, const QList<SelectionNode>& topLevel, bool checkable);
// The view's first node with its ticks, back as a selection model.
SelectionNode selectionOfView(const QTreeWidget* view);

} // namespace zq
