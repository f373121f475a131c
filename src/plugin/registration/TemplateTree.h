#pragma once

#include <QSqlDatabase>

class QTreeWidget;

namespace zq {

// Whether the nodes of a template tree carry check boxes.
enum class TemplateTreeChecks {
    None,
    // Every node unchecked; ticking a node ticks everything below it, and a node with
    // children shows their summary.
    Unchecked,
};

// The registration dialogs' tree: the class tree, every template as the last child of the
// class node whose code equals its class code (the first such node; templates of an unknown
// class are left out), then the root selected and everything expanded. Two statements
// whatever the size of the catalogue.
void fillTemplateTree(QTreeWidget* tree, const QSqlDatabase& db,
                      TemplateTreeChecks checks = TemplateTreeChecks::None);

} // namespace zq
