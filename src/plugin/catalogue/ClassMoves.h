#pragma once

#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <optional>

namespace zq {

// Whether the class may be moved under the target class (the empty code: the root). Never the
// root itself, never onto itself, its own parent or a class of its own subtree.
bool canDropClass(const QString& classCode, const QString& targetCode);
// Whether a template filed in the class `fromCode` may be moved into the target class: never
// under the root, which holds classes, nor into the class it is in.
bool canDropTemplate(const QString& fromCode, const QString& targetCode);
// The code of the class the template is filed in, or none when there is no such template.
std::optional<QString> templateClassCode(const QSqlDatabase& db, qint64 docId);

struct CodeChange {
    QString from;
    QString to;
};

// What a move did, enough to undo it.
struct CatalogueMove {
    qint64 docId = 0;        // the template moved, or 0 when a class moved
    QString fromCode;        // the template's class, or the class's code, before the move
    QString toCode;          // ... and after it
    QString fromParent;      // a moved class's parent before the move
    QList<CodeChange> codes; // every class of a moved subtree
};

// Files the template in the class. Fails when canDropTemplate refuses, or the template or the
// class is gone.
CatalogueMove moveDocToClass(const QSqlDatabase& db, qint64 docId, const QString& classCode);

// Moves the class with its subtree and templates under the new parent, in one transaction: the
// class takes the parent's next free code and its sub-classes are numbered again from 0001 in
// code order, level by level. A template whose code names no class of the subtree is filed in
// its nearest class there. On PostgreSQL, moves into one parent wait for each other.
CatalogueMove moveClassTo(const QSqlDatabase& db, const QString& classCode,
                          const QString& parentCode);

// Puts back what the move changed, in one transaction. Fails, changing nothing, when the
// catalogue has changed since in a way that stands in the way.
void undoMove(const QSqlDatabase& db, const CatalogueMove& move);

} // namespace zq
