#include "exchange/SelectionTree.h"

#include "catalogue/ClassCatalogue.h"
#include "catalogue/TemplateDocuments.h"

#include <QHash>

namespace zq {

bool SelectionNode::isClass() const {
    return image == kClassImage;
}

QList<SelectionNode> fillSelectionTree(const QSqlDatabase& db) {
    const QList<ClassRecord> rows = readClassRows(db);
    const QList<int> parents = classTreeParents(rows);

    // Built as a flat table first, then folded into the nested tree from the last row back, so
    // that no node moves once a child holds it.
    struct Flat {
        SelectionNode node;
        int parent;
    };
    QList<Flat> flat;
    flat.reserve(rows.size() + 1);
    SelectionNode root;
    root.image = kClassImage;
    flat.append({root, kTopLevel});
    QHash<QString, int> byCode;
    byCode.insert(QString(), 0);
    for (qsizetype i = 0; i < rows.size(); ++i) {
        SelectionNode node;
        node.record.classCode = rows[i].code;
        node.record.caption = rows[i].name;
        node.record.memo = rows[i].memo;
        node.image = kClassImage;
        const int parent = parents[i] == kUnderRoot ? 0
                           : parents[i] < 0         ? kTopLevel
                                                    : parents[i] + 1;
        flat.append({node, parent});
        byCode.insert(rows[i].code, int(i) + 1);
    }
    for (const TemplateRecord& doc : readAllTemplates(db)) {
        const auto it = byCode.constFind(doc.classCode);
        if (it == byCode.cend())
            continue;
        SelectionNode node;
        node.record = doc;
        node.image = kCatalogueTemplateImage;
        flat[*it].node.children.append(node);
    }

    // Classes come before their parent's templates: each class is put in front of the
    // templates already held, in code order.
    QList<QList<SelectionNode>> subClasses(flat.size());
    QList<SelectionNode> topLevel;
    for (qsizetype i = flat.size() - 1; i >= 0; --i) {
        SelectionNode& node = flat[i].node;
        node.children = subClasses[i] + node.children;
        if (flat[i].parent == kTopLevel)
            topLevel.prepend(std::move(node));
        else
            subClasses[flat[i].parent].prepend(std::move(node));
    }
    return topLevel;
}

void setChecked(SelectionNode& node, Qt::CheckState state) {
    node.check = state;
    for (SelectionNode& child : node.children)
        setChecked(child, state);
}

void updateCheckStates(SelectionNode& node) {
    if (node.children.isEmpty())
        return;
    bool all = true;
    bool none = true;
    for (SelectionNode& child : node.children) {
        updateCheckStates(child);
        all = all && child.check == Qt::Checked;
        none = none && child.check == Qt::Unchecked;
    }
    node.check = all ? Qt::Checked : none ? Qt::Unchecked : Qt::PartiallyChecked;
}

namespace {

void collect(const SelectionNode& node, QList<ManifestEntry>& entries) {
    for (const SelectionNode& child : node.children) {
        const ManifestEntry::Kind kind =
            child.isClass() ? ManifestEntry::Kind::Class : ManifestEntry::Kind::Template;
        if (!child.children.isEmpty()) {
            if (child.check == Qt::Unchecked)
                continue;
            if (child.isClass())
                entries.append({kind, child.record});
            collect(child, entries);
        } else if (child.check == Qt::Checked) {
            entries.append({kind, child.record});
        }
    }
}

} // namespace

QList<ManifestEntry> selectedEntries(const SelectionNode& root) {
    QList<ManifestEntry> entries;
    collect(root, entries);
    return entries;
}

} // namespace zq
