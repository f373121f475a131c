#pragma once

#include <QTreeWidget>

namespace zq::test {

// Opens every node, as a person opening them one by one: each class fills its templates
// before its children are visited.
inline void openAll(QTreeWidgetItem* item) {
    item->setExpanded(true);
    for (int i = 0; i < item->childCount(); ++i)
        openAll(item->child(i));
}

inline void openAll(QTreeWidget* tree) {
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        openAll(tree->topLevelItem(i));
}

// The first node with the text; when none is shown yet, the one found once every node is open.
inline QTreeWidgetItem* findOpening(QTreeWidget* tree, const QString& text) {
    const auto find = [&] {
        return tree->findItems(text, Qt::MatchExactly | Qt::MatchRecursive).value(0);
    };
    if (QTreeWidgetItem* found = find())
        return found;
    openAll(tree);
    return find();
}

} // namespace zq::test
