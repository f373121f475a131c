#pragma once

#include <QSqlDatabase>

class QTreeWidget;

namespace zq {

// The registration dialogs' tree: the class tree, every template as the last child of the
// class node whose code equals its class code (the first such node; templates of an unknown
// class are left out), then the root selected and everything expanded.
void fillTemplateTree(QTreeWidget* tree, const QSqlDatabase& db);

} // namespace zq
