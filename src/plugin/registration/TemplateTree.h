#pragma once

#include "catalogue/NodeRecords.h"

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

// The registration dialogs' tree: the class tree, each class with its templates pending until it
// is first opened (then they come after its sub-classes), the root opened and selected. One
// statement for the classes and one for each class opened, whatever the size of the catalogue.
void fillTemplateTree(QTreeWidget* tree, const QSqlDatabase& db,
                      TemplateTreeChecks checks = TemplateTreeChecks::None);

// The form of the records on the tree's template nodes.
constexpr TemplateRecord::Form kTemplateTreeForm = TemplateRecord::Form::SixFields;

} // namespace zq
