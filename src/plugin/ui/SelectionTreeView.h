#pragma once

#include "exchange/SelectionTree.h"

class QTreeWidget;

namespace zq {

// The form of the records on a selection view's nodes.
constexpr TemplateRecord::Form kSelectionForm = TemplateRecord::Form::SevenFields;

// A selection tree shown in a tree view: the root labelled "文档模板分类信息", every node with its
// seven-field record and image, tri-state check boxes when checkable; the root selected and
// opened. A class with pending templates shows that it can be opened; for a view of the
// catalogue, fillTemplatesWhenOpened adds them when it first is.
void fillSelectionView(QTreeWidget* view, const QList<SelectionNode>& topLevel, bool checkable);
// The view's first node with its ticks, back as a selection model; the templates of classes
// never opened stay pending, with their class's tick.
SelectionNode selectionOfView(const QTreeWidget* view);

} // namespace zq
