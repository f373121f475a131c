#include "catalogue/ClassCatalogue.h"

#include "catalogue/CatalogueHistory.h"
#include "catalogue/CatalogueNotices.h"
#include "catalogue/RecycleBin.h"
#include "catalogue/Sql.h"
#include "catalogue/TextRules.h"
#include "util/Error.h"

#include <QSqlDriver>
#include <algorithm>

namespace zq {

namespace {

constexpr int kGroup = 4;
constexpr int kLastNumber = 9999;
constexpr int kInsertAttempts = 5;
constexpr int kChildCodeLock = 0x5A51; // first key of the advisory locks on child codes

int groupNumber(const QString& code, qsizetype from) {
    bool ok = false;
    const int number = code.mid(from, kGroup).toInt(&ok);
    if (!ok)
        throw Error(QStringLiteral("模板分类编码“%1”不是有效的数字编码。").arg(code));
    return number;
}

void checkClassTexts(const QString& name, const QString& memo) {
    checkText(TextField::ClassName, name.trimmed());
    checkText(TextField::ClassMemo, memo.trimmed());
}

void insertClassRow(const QSqlDatabase& db, const QString& code, const QString& name,
                    const QString& memo) {
    runSql(db,
           QStringLiteral("insert into ZQ_DocInfoMaster(DocSortID, DocSortName, DocSortMemo) "
                          "values(?, ?, ?)"),
           {code, name.trimmed(), memo.trimmed()});
}

// The first free number among the children past the given one. The children lie in one range
// of the code's index, so only they and their sub-classes are read, never the whole table.
QString firstFreeChildCode(const QSqlDatabase& db, const QString& parentCode, int after) {
    QSqlQuery query =
        runSql(db,
               QStringLiteral("select DocSortID from ZQ_DocInfoMaster where "
                              "DocSortID >= ? and DocSortID <= ? and "
                              "length(DocSortID) = ? order by DocSortID"),
               {childClassCode(parentCode, after + 1), childClassCode(parentCode, kLastNumber),
                childCodeLength(parentCode)});
    const qsizetype from = parentCode.size();
    int last = after;
    while (query.next()) {
        const int number = groupNumber(query.value(0).toString(), from);
        if (number != last + 1)
            break;
        last = number;
    }
    return childClassCode(parentCode, last + 1);
}

} // namespace

int classCodeDepth(const QString& code) {
    return int(code.size() / kGroup);
}

qsizetype classCodeLength(qsizetype depth) {
    return depth * kGroup;
}

qsizetype childCodeLength(const QString& parentCode) {
    return parentCode.size() + kGroup;
}

QString rootClassName() {
    return QStringLiteral("文档模板分类信息");
}

bool isClassCode(const QString& code) {
    return !code.isEmpty() && code.size() % kGroup == 0 &&
           std::all_of(code.cbegin(), code.cend(),
                       [](QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); });
}

QString badClassCodeMessage(const QString& code) {
    return QStringLiteral("分类编码“%1”无效：编码应由四位数字为一组组成。").arg(code);
}

QString parentClassCode(const QString& code) {
    return code.left(std::max<qsizetype>(0, code.size() - kGroup));
}

QList<ClassRecord> readClassRows(const QSqlDatabase& db) {
    QSqlQuery query = runSql(
        db, QStringLiteral("select DocSortID, DocSortName, DocSortMemo from ZQ_DocInfoMaster "
                           "order by DocSortID"));
    QList<ClassRecord> rows;
    rows.reserve(query.size() > 0 ? query.size() : 0);
    while (query.next())
        rows.append(
            {query.value(0).toString(), query.value(1).toString(), query.value(2).toString()});
    return rows;
}

std::optional<ClassRecord> readClassRow(const QSqlDatabase& db, const QString& code) {
    QSqlQuery query = runSql(db,
                             QStringLiteral("select DocSortName, DocSortMemo from ZQ_DocInfoMaster "
                                            "where DocSortID = ?"),
                             {code});
    if (!query.next())
        return std::nullopt;
    return ClassRecord{code, query.value(0).toString(), query.value(1).toString()};
}

QList<int> classTreeParents(const QList<ClassRecord>& rows) {
    QList<int> parents;
    parents.reserve(rows.size());
    const auto parentOf = [&parents](int node) {
        return node == kUnderRoot ? kTopLevel : parents[node];
    };
    // The root stands at depth 0 and is node kUnderRoot; the walk follows the depth of the
    // codes, not the tree, so a row that skips levels still hangs one level down.
    int current = kUnderRoot;
    int previousDepth = 0;
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const int depth = classCodeDepth(rows[i].code);
        int parent;
        if (depth > previousDepth) {
            parent = current;
        } else {
            int node = current;
            for (int up = depth; up < previousDepth && node != kTopLevel; ++up)
                node = parentOf(node);
            // Going up past the root lands at the top level.
            parent = node == kTopLevel ? kTopLevel : parentOf(node);
        }
        parents.append(parent);
        current = int(i);
        previousDepth = depth;
    }
    return parents;
}

QString newChildClassCode(const QSqlDatabase& db, const QString& parentCode) {
    return firstFreeChildCode(db, parentCode, 0);
}

QString childClassCode(const QString& parentCode, int number) {
    if (number > kLastNumber)
        throw Error(QStringLiteral("该分类下已有 9999 个子分类，不能再添加子分类！"));
    return parentCode + QStringLiteral("%1").arg(number, kGroup, 10, QLatin1Char('0'));
}

QString codePrefixSql(const QString& column) {
    return QStringLiteral("substr(%1, 1, ?)").arg(column);
}

QString parentCodeSql(const QString& column) {
    return QStringLiteral("substr(%1, 1, length(%1) - %2)").arg(column, QString::number(kGroup));
}

QString isClassCodeSql(const QString& column) {
    return QStringLiteral("(length(%1) > 0 and length(%1) % %2 = 0 and "
                          "ltrim(%1, '0123456789') = '')")
        .arg(column, QString::number(kGroup));
}

QString subtreeCondition() {
    return codePrefixSql() + QStringLiteral(" = ?");
}

void lockChildClassCodes(const QSqlDatabase& db, const QString& parentCode) {
    if (isPostgres(db))
        runSql(db, QStringLiteral("select 1 from (select pg_advisory_xact_lock(?, hashtext(?))) l"),
               {kChildCodeLock, parentCode});
}

QString reserveChildClassCode(const QSqlDatabase& db, const QString& parentCode) {
    lockChildClassCodes(db, parentCode);
    return newChildClassCode(db, parentCode);
}

void requireClass(const QSqlDatabase& db, const QString& code) {
    if (code.isEmpty())
        return;
    const QString share = isPostgres(db) ? QStringLiteral(" for share") : QString();
    if (!sqlValue(db,
                  QStringLiteral("select DocSortID from ZQ_DocInfoMaster where DocSortID = ?") +
                      share,
                  {code})
             .isValid())
        throw Error(noSuchClassMessage());
}

QSet<QString> lockExistingClasses(const QSqlDatabase& db, const QStringList& codes) {
    if (codes.isEmpty())
        return {};
    const QString share = isPostgres(db) ? QStringLiteral(" for share") : QString();
    return columnValues(
        db,
        QStringLiteral("select DocSortID from ZQ_DocInfoMaster where DocSortID in (%1)")
                .arg(placeholders(codes.size())) +
            share,
        QVariantList(codes.cbegin(), codes.cend()));
}

void insertClass(const QSqlDatabase& db, const QString& code, const QString& name,
                 const QString& memo) {
    if (!isClassCode(code))
        throw Error(badClassCodeMessage(code));
    checkClassTexts(name, memo);
    Transaction transaction(db);
    requireClass(db, parentClassCode(code));
    insertClassRow(db, code, name, memo);
    noticeChange(db, ChangeKind::ClassAdded, code);
    transaction.commit();
}

// Allocation under one parent is serialised, so the code is taken only by a writer that does
// not take the lock; the next try then starts past the code that failed.
QString addChildClass(const QSqlDatabase& db, const QString& parentCode, const QString& name,
                      const QString& memo, const QString& firstCode) {
    checkClassTexts(name, memo);
    int after = 0;
    for (int attempt = 1;; ++attempt) {
        QString code;
        try {
            Transaction transaction(db);
            requireClass(db, parentCode);
            lockChildClassCodes(db, parentCode);
            const bool shownIsFree = attempt == 1 && parentClassCode(firstCode) == parentCode &&
                                     firstCode.size() == parentCode.size() + kGroup &&
                                     !classExists(db, firstCode);
            code = shownIsFree ? firstCode : firstFreeChildCode(db, parentCode, after);
            insertClassRow(db, code, name, memo);
            recordClass(db, HistoryAction::Added, code);
            noticeChange(db, ChangeKind::ClassAdded, code);
            transaction.commit();
            return code;
        } catch (const Error&) {
            if (code.isEmpty() || attempt == kInsertAttempts || !classExists(db, code))
                throw;
            after = groupNumber(code, parentCode.size());
        }
    }
}

void updateClass(const QSqlDatabase& db, const QString& code, const QString& name,
                 const QString& memo) {
    checkClassTexts(name, memo);
    Transaction transaction(db);
    recordClassTexts(db, code, name, memo);
    runSql(db,
           QStringLiteral("update ZQ_DocInfoMaster set DocSortName = ?, DocSortMemo = ? "
                          "where DocSortID = ?"),
           {name.trimmed(), memo.trimmed(), code});
    noticeChange(db, ChangeKind::ClassRenamed, code);
    transaction.commit();
}

bool classExists(const QSqlDatabase& db, const QString& code) {
    return sqlValue(db, QStringLiteral("select count(*) from ZQ_DocInfoMaster where DocSortID = ?"),
                    {code})
               .toInt() > 0;
}

QString noSuchClassMessage() {
    return QStringLiteral("该文档模板分类已不存在，可能已被其他用户删除！");
}

QString classNameOfCode(const QSqlDatabase& db, const QString& code) {
    return sqlValue(db,
                    QStringLiteral("select DocSortName from ZQ_DocInfoMaster where DocSortID = ?"),
                    {code})
        .toString();
}

bool classTreeHasTemplates(const QSqlDatabase& db, const QString& code) {
    return sqlValue(db,
                    QStringLiteral("select count(*) from ZQ_DocTempDetail where ") +
                        subtreeCondition(),
                    {code.size(), code})
               .toInt() > 0;
}

ClassTreeDeletion deleteEmptyClassTree(const QSqlDatabase& db, const QString& code) {
    if (code.isEmpty())
        return ClassTreeDeletion::NoSuchClass;
    return retryOnConflict(db, [&] {
        Transaction transaction(db);
        // Both tables first, in the one order (see lockClassesFirst), so that every insert or
        // move into the tree either came before and is seen below, or finds its class gone.
        if (transaction.isPostgres()) {
            runSql(db, QStringLiteral("lock table ZQ_DocInfoMaster in exclusive mode"));
            runSql(db, QStringLiteral("lock table ZQ_DocTempDetail in share mode"));
        }
        if (!sqlValue(db, QStringLiteral("select 1 from ZQ_DocInfoMaster where DocSortID = ?"),
                      {code})
                 .isValid())
            return ClassTreeDeletion::NoSuchClass;
        if (classTreeHasTemplates(db, code))
            return ClassTreeDeletion::HasTemplates;
        keepClassTreeInBin(db, code);
        runSql(db, QStringLiteral("delete from ZQ_DocInfoMaster where ") + subtreeCondition(),
               {code.size(), code});
        noticeChange(db, ChangeKind::ClassDeleted, code);
        transaction.commit();
        return ClassTreeDeletion::Deleted;
    });
}

} // namespace zq
