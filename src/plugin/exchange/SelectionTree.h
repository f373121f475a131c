#pragma once

#include "catalogue/NodeRecords.h"
#include "exchange/Manifest.h"

#include <QList>
#include <QSqlDatabase>
#include <Qt>
#include <functional>

namespace zq {

// The tree packages are written from, apart from any widget: the root, the classes and the
// templates, each with its seven-field record, its image index and its check state. A window
// mirrors it in a tree view; a command-line tool ticks it directly.
//
// A class's templates join its children only once someone wants to see them: until then the
// class holds them pending, and they all take the class's own tick.
struct SelectionNode {
    TemplateRecord record;
    int image = 0; // 10 root and class, 0 template from the catalogue, 11 from a manifest
    // A template's tick; for a class, the tick its pending templates take.
    Qt::CheckState check = Qt::Unchecked;
    bool templatesPending = false;
    QList<SelectionNode> children;

    bool isClass() const;
};

// The root (empty record) with every class placed by the depth of its code, each class
// holding its sub-classes and its templates pending (the root: those with the empty class code;
// templates of an unknown class belong to no node). Classes that the depth rule puts beside
// the root follow it at the top level. One statement whatever the catalogue's size.
QList<SelectionNode> fillSelectionTree(const QSqlDatabase& db);

// The tree of a package's entries under a root (image class, id "-1"): each entry under the first
// class before it with its parent's code (a template: its own class code), or at the top level
// beside the root when there is none.
QList<SelectionNode> packageSelectionTree(const QList<ManifestEntry>& entries);

// Gives the node and all its descendants the state, pending templates included.
void setChecked(SelectionNode& node, Qt::CheckState state);

// Hands over the manifest's entries for what is ticked below the root, depth first, one at a
// time: a class that is ticked or partly ticked (by its children or its pending templates)
// gives its class element and then its content, sub-classes first; a ticked template gives its
// element. Pending templates follow their class's children, read when reached: one statement
// for each ticked class that holds them, whatever their number. The root itself gives none.
void forEachSelectedEntry(const QSqlDatabase& db, const SelectionNode& root,
                          const std::function<void(const ManifestEntry&)>& take);

// How many templates forEachSelectedEntry hands over. One statement.
int selectedTemplateCount(const QSqlDatabase& db, const SelectionNode& root);

} // namespace zq
