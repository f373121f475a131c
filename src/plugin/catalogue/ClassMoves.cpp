#include "catalogue/ClassMoves.h"

#include "catalogue/CatalogueHistory.h"
#include "catalogue/CatalogueNotices.h"
#include "catalogue/ClassCatalogue.h"
#include "catalogue/Sql.h"
#include "util/Error.h"

#include <QHash>
#include <algorithm>

namespace zq {

namespace {

// Set in front of the codes being renamed; no class code holds it.
const QString kMark = QStringLiteral("#");
// Templates first: a failure renaming the classes must also take back the templates' codes.
const char* const kCodeTables[] = {"ZQ_DocTempDetail", "ZQ_DocInfoMaster"};

QStringList subtreeCodes(const QSqlDatabase& db, const QString& table, const QString& code) {
    QSqlQuery query = runSql(db,
                             QStringLiteral("select distinct DocSortID from ") + table +
                                 QStringLiteral(" where ") + subtreeCondition() +
                                 QStringLiteral(" order by DocSortID"),
                             {code.size(), code});
    QStringList codes;
    while (query.next())
        codes.append(query.value(0).toString());
    return codes;
}

// The nearest code of the map that is a proper prefix of the code.
QString nearestAncestor(const QHash<QString, QString>& map, const QString& code) {
    for (qsizetype length = code.size() - 1; length > 0; --length)
        if (map.contains(code.left(length)))
            return code.left(length);
    return QString();
}

// New codes for a subtree read in code order (its top class first), numbered from the top down:
// each class's children take 0001, 0002, ... under its new code in their old order. A class
// whose parent is missing counts as a child of its nearest class above.
QList<CodeChange> renumberedClasses(const QStringList& classCodes, const QString& newCode) {
    QHash<QString, QString> newCodes{{classCodes.first(), newCode}};
    QHash<QString, int> children;
    QList<CodeChange> changes{{classCodes.first(), newCode}};
    for (qsizetype i = 1; i < classCodes.size(); ++i) {
        const QString parent = nearestAncestor(newCodes, classCodes[i]);
        const QString code = childClassCode(newCodes[parent], ++children[parent]);
        newCodes.insert(classCodes[i], code);
        changes.append({classCodes[i], code});
    }
    return changes;
}

// Renames every code of the subtree under scope in both tables as the changes say. The codes
// are first set aside under the mark, so that a new code equal to an old one (a class below a
// missing level moving up into it) is never renamed twice. Fails when the subtree does not hold
// the number of classes expected or holds a code the changes do not name: another workstation
// changed it since it was read.
void renameCodes(const QSqlDatabase& db, const QString& scope, const QList<CodeChange>& changes,
                 qsizetype classes) {
    const Error changed(QStringLiteral("模板目录已被其他用户修改，请刷新后重试！"));
    QVariantList from;
    QVariantList to;
    for (const CodeChange& change : changes) {
        from.append(kMark + change.from);
        to.append(change.to);
    }
    for (const char* name : kCodeTables) {
        const QString table = QString::fromLatin1(name);
        const int marked = runSql(db,
                                  QStringLiteral("update ") + table +
                                      QStringLiteral(" set DocSortID = ? || DocSortID where ") +
                                      subtreeCondition(),
                                  {kMark, scope.size(), scope})
                               .numRowsAffected();
        if (table == QLatin1String("ZQ_DocInfoMaster") && marked != classes)
            throw changed;
        runSqlBatch(db,
                    QStringLiteral("update ") + table +
                        QStringLiteral(" set DocSortID = ? where DocSortID = ?"),
                    {to, from});
        if (sqlValue(db,
                     QStringLiteral("select count(*) from ") + table + QStringLiteral(" where ") +
                         subtreeCondition(),
                     {scope.size() + 1, kMark + scope})
                .toInt() > 0)
            throw changed;
    }
}

} // namespace

bool canDropClass(const QString& classCode, const QString& targetCode) {
    return !classCode.isEmpty() && targetCode != parentClassCode(classCode) &&
           !targetCode.startsWith(classCode);
}

bool canDropTemplate(const QString& fromCode, const QString& targetCode) {
    return !targetCode.isEmpty() && targetCode != fromCode;
}

std::optional<QString> templateClassCode(const QSqlDatabase& db, qint64 docId) {
    const QVariant code = sqlValue(
        db, QStringLiteral("select DocSortID from ZQ_DocTempDetail where DocID = ?"), {docId});
    return code.isValid() ? std::optional(code.toString()) : std::nullopt;
}

CatalogueMove moveDocToClass(const QSqlDatabase& db, qint64 docId, const QString& classCode) {
    return retryOnConflict(db, [&] {
        Transaction transaction(db);
        lockClassesFirst(db);
        requireClass(db, classCode);
        const std::optional<QString> from = templateClassCode(db, docId);
        if (!from)
            throw Error(QStringLiteral("该模板已不存在，可能已被其他用户删除！"));
        if (!canDropTemplate(*from, classCode))
            throw Error(QStringLiteral("不能把该模板移到这里！"));
        runSql(db, QStringLiteral("update ZQ_DocTempDetail set DocSortID = ? where DocID = ?"),
               {classCode, docId});
        recordTemplate(db, HistoryAction::Moved, docId, *from, classCode);
        noticeChange(db, ChangeKind::TemplateMoved, docId);
        transaction.commit();
        return CatalogueMove{docId, *from, classCode, QString(), {}};
    });
}

CatalogueMove moveClassTo(const QSqlDatabase& db, const QString& classCode,
                          const QString& parentCode) {
    if (!canDropClass(classCode, parentCode))
        throw Error(QStringLiteral("不能把该分类移到这里！"));
    return retryOnConflict(db, [&] {
        Transaction transaction(db);
        lockClassesFirst(db);
        requireClass(db, parentCode);
        const QString newCode = reserveChildClassCode(db, parentCode);
        const QStringList classCodes =
            subtreeCodes(db, QStringLiteral("ZQ_DocInfoMaster"), classCode);
        if (classCodes.value(0) != classCode)
            throw Error(noSuchClassMessage());

        const QList<CodeChange> classChanges = renumberedClasses(classCodes, newCode);
        QHash<QString, QString> newCodes;
        for (const CodeChange& change : classChanges)
            newCodes.insert(change.from, change.to);
        // Templates left behind by a class that is gone go with their nearest class.
        QList<CodeChange> changes = classChanges;
        for (const QString& code : subtreeCodes(db, QStringLiteral("ZQ_DocTempDetail"), classCode))
            if (!newCodes.contains(code))
                changes.append({code, newCodes.value(nearestAncestor(newCodes, code))});

        // The parent the class was shown under: its nearest class above.
        QString fromParent = parentClassCode(classCode);
        while (!fromParent.isEmpty() && !classExists(db, fromParent))
            fromParent.chop(1);

        renameCodes(db, classCode, changes, classChanges.size());
        recordClass(db, HistoryAction::Moved, newCode, classCode, newCode);
        noticeChange(db, ChangeKind::ClassMoved, classCode);
        transaction.commit();
        return CatalogueMove{0, classCode, newCode, fromParent, classChanges};
    });
}

void undoMove(const QSqlDatabase& db, const CatalogueMove& move) {
    const QString changed = QStringLiteral("上次移动之后模板目录已被修改，不能撤销！");
    retryOnConflict(db, [&] {
        Transaction transaction(db);
        lockClassesFirst(db);
        if (move.docId != 0) {
            requireClass(db, move.fromCode);
            if (runSql(db,
                       QStringLiteral("update ZQ_DocTempDetail set DocSortID = ? "
                                      "where DocID = ? and DocSortID = ?"),
                       {move.fromCode, move.docId, move.toCode})
                    .numRowsAffected() != 1)
                throw Error(changed);
            recordTemplate(db, HistoryAction::Moved, move.docId, move.toCode, move.fromCode);
            noticeChange(db, ChangeKind::TemplateMoved, move.docId);
            transaction.commit();
            return;
        }
        requireClass(db, move.fromParent);
        lockChildClassCodes(db, move.fromParent);
        if (!classExists(db, move.toCode))
            throw Error(changed); // deleted or moved again since
        if (classExists(db, move.fromCode) &&
            std::none_of(move.codes.begin(), move.codes.end(),
                         [&](const CodeChange& change) { return change.to == move.fromCode; }))
            throw Error(changed); // another class took the old code
        QList<CodeChange> back;
        for (const CodeChange& change : move.codes)
            back.append({change.to, change.from});
        try {
            renameCodes(db, move.toCode, back, back.size());
        } catch (const ConflictError&) {
            throw;
        } catch (const Error&) {
            throw Error(changed);
        }
        recordClass(db, HistoryAction::Moved, move.fromCode, move.toCode, move.fromCode);
        noticeChange(db, ChangeKind::ClassMoved, move.toCode);
        transaction.commit();
    });
}

} // namespace zq
