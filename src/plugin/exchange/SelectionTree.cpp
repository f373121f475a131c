#include "exchange/SelectionTree.h"

#include "catalogue/ClassCatalogue.h"
#include "catalogue/Sql.h"
#include "catalogue/TemplateDocuments.h"

#include <QHash>
#include <QSqlQuery>
#include <algorithm>

namespace zq {

bool SelectionNode::isClass() const {
    return image == kClassImage;
}

namespace {

// Folds a flat table into the nested tree: each node under the row its parent index names, an
// earlier one, or at the top level when that is negative. From the last row back, so that no
// node moves once a child holds it.
QList<SelectionNode> foldTree(QList<SelectionNode> flat, const QList<qsizetype>& parents) {
    QList<SelectionNode> topLevel;
    for (qsizetype i = flat.size() - 1; i >= 0; --i)
        (parents[i] < 0 ? topLevel : flat[parents[i]].children).prepend(std::move(flat[i]));
    return topLevel;
}

} // namespace

QList<SelectionNode> fillSelectionTree(const QSqlDatabase& db) {
    const QList<ClassRecord> rows = readClassRows(db);
    const QList<int> treeParents = classTreeParents(rows);
    QList<SelectionNode> flat(rows.size() + 1);
    QList<qsizetype> parents{-1};
    for (qsizetype i = 0; i < flat.size(); ++i) {
        SelectionNode& node = flat[i];
        if (i > 0) {
            node.record.classCode = rows[i - 1].code;
            node.record.caption = rows[i - 1].name;
            node.record.memo = rows[i - 1].memo;
            const int parent = treeParents[i - 1];
            parents.append(parent == kTopLevel ? -1 : parent + 1);
        }
        node.image = kClassImage;
        node.templatesPending = true;
    }
    return foldTree(std::move(flat), parents);
}

QList<SelectionNode> packageSelectionTree(const QList<ManifestEntry>& entries) {
    QList<SelectionNode> flat(1);
    flat[0].record.docId = -1;
    flat[0].image = kClassImage;
    QList<qsizetype> parents{-1};
    QHash<QString, qsizetype> classes{{QString(), 0}};
    for (const ManifestEntry& entry : entries) {
        const QString& code = entry.record.classCode;
        const bool isClass = entry.kind == ManifestEntry::Kind::Class;
        SelectionNode& node = flat.emplace_back();
        node.record = entry.record;
        node.image = isClass ? kClassImage : kTemplateImage;
        parents.append(classes.value(isClass ? parentClassCode(code) : code, -1));
        if (isClass && !classes.contains(code))
            classes.insert(code, flat.size() - 1);
    }
    return foldTree(std::move(flat), parents);
}

void setChecked(SelectionNode& node, Qt::CheckState state) {
    node.check = state;
    for (SelectionNode& child : node.children)
        setChecked(child, state);
}

namespace {

bool takesPending(const SelectionNode& node) {
    return node.templatesPending && node.check == Qt::Checked;
}

// Whether the node gives an element: a ticked template, or a class with something ticked
// below it (a class with nothing below it: its own tick).
bool anyTicked(const SelectionNode& node) {
    if (!node.isClass() || node.children.isEmpty())
        return node.check == Qt::Checked;
    return takesPending(node) ||
           std::any_of(node.children.cbegin(), node.children.cend(), anyTicked);
}

void collect(const QSqlDatabase& db, const SelectionNode& node,
             const std::function<void(const ManifestEntry&)>& take) {
    for (const SelectionNode& child : node.children) {
        if (!anyTicked(child))
            continue;
        if (child.isClass()) {
            take({ManifestEntry::Kind::Class, child.record});
            collect(db, child, take);
        } else {
            take({ManifestEntry::Kind::Template, child.record});
        }
    }
    if (takesPending(node))
        for (const TemplateRecord& doc : readClassTemplates(db, node.record.classCode))
            take({ManifestEntry::Kind::Template, doc});
}

int countTicked(const SelectionNode& node, const QHash<QString, int>& pendingCounts) {
    int count = takesPending(node) ? pendingCounts.value(node.record.classCode) : 0;
    for (const SelectionNode& child : node.children)
        count += child.isClass() ? countTicked(child, pendingCounts) : child.check == Qt::Checked;
    return count;
}

} // namespace

void forEachSelectedEntry(const QSqlDatabase& db, const SelectionNode& root,
                          const std::function<void(const ManifestEntry&)>& take) {
    collect(db, root, take);
}

int selectedTemplateCount(const QSqlDatabase& db, const SelectionNode& root) {
    QHash<QString, int> counts;
    QSqlQuery query = runSql(
        db, QStringLiteral("select DocSortID, count(*) from ZQ_DocTempDetail group by DocSortID"));
    while (query.next())
        counts.insert(query.value(0).toString(), query.value(1).toInt());
    return countTicked(root, counts);
}

} // namespace zq
