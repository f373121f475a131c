#pragma once

#include "catalogue/NodeRecords.h"
#include "exchange/Manifest.h"

#include <QList>
#include <QSqlDatabase>
#include <Qt>

namespace zq {

// The tree packages are written from, apart from any widget: the root, the classes and the
// templates, each with its seven-field record, its image index and its check state. A window
// mirrors it in a tree view; a command-line tool ticks it directly.
struct SelectionNode {
    TemplateRecord record;
    int image = 0; // 10 root and class, 0 template from the catalogue, 11 from a manifest
    Qt::CheckState check = Qt::Unchecked;
    QList<SelectionNode> children;

    bool isClass() const;
};

// The root (empty record) with every class placed by the depth of its code, each class
// holding its sub-classes and then its templates; templates with the empty class code hang
// under the root, those of an unknown class are left out. Classes that the depth rule puts
// beside the root follow it at the top level. Two statements whatever the catalogue's size.
QList<SelectionNode> fillSelectionTree(const QSqlDatabase& db);

// Gives the node and all its descendants the state, then makes every node with children ticked,
// unticked or partly ticked after its children, as the tree view does when a box is clicked.
void setChecked(SelectionNode& node, Qt::CheckState state);
void updateCheckStates(SelectionNode& node);

// The manifest's entries for what is ticked below the root, depth first: a ticked or partly
// ticked node with children gives its class element and then its content; a ticked leaf gives
// its class or template element. The root itself gives none.
QList<ManifestEntry> selectedEntries(const SelectionNode& root);

} // namespace zq
