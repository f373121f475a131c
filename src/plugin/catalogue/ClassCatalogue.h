#pragma once

#include "catalogue/NodeRecords.h"

#include <QList>
#include <QSet>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

#include <optional>

namespace zq {

// Depth of a class code: whole groups of four characters.
int classCodeDepth(const QString& code);
// The length of a code at the depth (the root's, depth 0, is empty).
qsizetype classCodeLength(qsizetype depth);
// The length of the codes of the class's children.
qsizetype childCodeLength(const QString& parentCode);
// The name of the catalogue's root, the class with the empty code.
QString rootClassName();
// A class code is one or more whole groups of four ASCII digits; the root has the empty code.
bool isClassCode(const QString& code);
// Why a code is refused, for the person: it names the code.
QString badClassCodeMessage(const QString& code);
// The code without its last group; the empty text (the root) for a top-level class.
QString parentClassCode(const QString& code);

// Every class, in code order.
QList<ClassRecord> readClassRows(const QSqlDatabase& db);
// One class's row; nothing when there is no class of the code.
std::optional<ClassRecord> readClassRow(const QSqlDatabase& db, const QString& code);

// Where each row of a code-ordered list goes in a class tree, walking by code depth: the index
// of the row whose node is its parent, or one of these two.
constexpr int kUnderRoot = -1; // a child of the root node
constexpr int kTopLevel = -2;  // beside the root, at the top level of the tree
QList<int> classTreeParents(const QList<ClassRecord>& rows);

// The code for a new class under the class with the given code (the empty text: the root):
// the first free number among its children. Throws when the children hold no free number or a
// code of theirs is not made of digits.
QString newChildClassCode(const QSqlDatabase& db, const QString& parentCode);
// The code of the parent's child with that number (from 1); throws past 9999.
QString childClassCode(const QString& parentCode, int number);
// The same rules as SQL text over a code column:
// the first characters of the code, as many as the bound length;
QString codePrefixSql(const QString& column = QStringLiteral("DocSortID"));
// the code without its last group;
QString parentCodeSql(const QString& column);
// true when the code is well formed (isClassCode).
QString isClassCodeSql(const QString& column);
// A condition on DocSortID that holds for the subtree of a code; bind the code's length, then
// the code.
QString subtreeCondition();
// Holds off, until the caller's transaction ends, other workstations allocating codes under the
// parent (PostgreSQL; SQLite has one writer at a time anyway).
void lockChildClassCodes(const QSqlDatabase& db, const QString& parentCode);
// In the caller's transaction: the next free code under the parent, which no other workstation
// allocates before the transaction ends.
QString reserveChildClassCode(const QSqlDatabase& db, const QString& parentCode);
// Within a transaction, before writing into the class: throws noSuchClassMessage() when it is
// gone, and keeps it from being deleted until the transaction ends (on PostgreSQL its row is
// locked; SQLite has one writer at a time). The root, the empty code, always exists.
void requireClass(const QSqlDatabase& db, const QString& code);
// requireClass for many classes in one statement: gives the codes of those that exist, each
// kept from being deleted until the transaction ends.
QSet<QString> lockExistingClasses(const QSqlDatabase& db, const QStringList& codes);
// Adds one class row under its parent, which must exist; name and description are stored
// without surrounding blanks. Fails (the code is unique) when the code is taken.
void insertClass(const QSqlDatabase& db, const QString& code, const QString& name,
                 const QString& memo);
// Adds a class under the parent, which must exist, with the code the user was shown, or the
// next free code when that was taken meanwhile. Returns the code used.
QString addChildClass(const QSqlDatabase& db, const QString& parentCode, const QString& name,
                      const QString& memo, const QString& firstCode);
void updateClass(const QSqlDatabase& db, const QString& code, const QString& name,
                 const QString& memo);
bool classExists(const QSqlDatabase& db, const QString& code);
// What the user is told when the class worked on was deleted meanwhile.
QString noSuchClassMessage();
QString classNameOfCode(const QSqlDatabase& db, const QString& code);

// True when a template is filed in the class or below it.
bool classTreeHasTemplates(const QSqlDatabase& db, const QString& code);
enum class ClassTreeDeletion { Deleted, HasTemplates, NoSuchClass };
// Deletes the class and its sub-classes unless a template is filed in them, checking and
// deleting in one transaction. The root is no class.
ClassTreeDeletion deleteEmptyClassTree(const QSqlDatabase& db, const QString& code);

} // namespace zq
