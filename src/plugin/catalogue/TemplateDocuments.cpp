#include "catalogue/TemplateDocuments.h"

#include "catalogue/CatalogueHistory.h"
#include "catalogue/CatalogueNotices.h"
#include "catalogue/ClassCatalogue.h"
#include "catalogue/SearchKeys.h"
#include "catalogue/Sql.h"
#include "catalogue/TemplateStore.h"
#include "catalogue/TextRules.h"
#include "util/Error.h"

#include <QFile>

namespace zq {

void checkTemplateRow(const TemplateRecord& row) {
    checkText(TextField::Caption, row.caption.trimmed());
    checkText(TextField::FileName, row.fileName);
    checkText(TextField::Memo, row.memo.trimmed());
    checkText(TextField::TypeName, row.typeName);
    checkText(TextField::KeyWord, row.keyWord);
}

qint64 insertTemplate(const QSqlDatabase& db, const TemplateRecord& row) {
    checkTemplateRow(row);
    Transaction transaction(db);
    requireClass(db, row.classCode);
    QSqlQuery query = runSql(db,
                             QStringLiteral("insert into ZQ_DocTempDetail(DocCaption, DocFileName, "
                                            "DocMemo, DocSortID, DocTypeName, DocKeyWord) "
                                            "values(?, ?, ?, ?, ?, ?) returning DocID"),
                             {row.caption.trimmed(), row.fileName, row.memo.trimmed(),
                              row.classCode, row.typeName, row.keyWord});
    if (!query.next())
        throw Error(QStringLiteral("数据库没有返回新模板的编号。"));
    const qint64 docId = query.value(0).toLongLong();
    query.finish();
    writeSearchKeys(db, QStringLiteral("d.DocID = ?"), {docId});
    noticeChange(db, ChangeKind::TemplateAdded, docId);
    transaction.commit();
    return docId;
}

void updateTemplateText(const QSqlDatabase& db, qint64 docId, const QString& caption,
                        const QString& memo) {
    checkText(TextField::Caption, caption.trimmed());
    checkText(TextField::Memo, memo.trimmed());
    Transaction transaction(db);
    recordTemplateTexts(db, docId, caption, memo);
    runSql(db,
           QStringLiteral("update ZQ_DocTempDetail set DocCaption = ?, DocMemo = ? "
                          "where DocID = ?"),
           {caption.trimmed(), memo.trimmed(), docId});
    writeSearchKeys(db, QStringLiteral("d.DocID = ?"), {docId});
    noticeChange(db, ChangeKind::TemplateDescribed, docId);
    transaction.commit();
}

void deleteTemplateRow(const QSqlDatabase& db, qint64 docId) {
    removeSearchKeys(db, QStringLiteral("d.DocID = ?"), {docId});
    runSql(db, QStringLiteral("delete from ZQ_DocTempDetail where DocID = ?"), {docId});
    noticeChange(db, ChangeKind::TemplateDeleted, docId);
}

bool fileNameInUse(const QSqlDatabase& db, const QString& docFileName) {
    return sqlValue(db,
                    QStringLiteral("select count(*) from ZQ_DocTempDetail where DocFileName = ?"),
                    {docFileName})
               .toInt() > 0;
}

QString typeCaptionOf(const QSqlDatabase& db, const QString& typeName) {
    return sqlValue(db, QStringLiteral("select TypeCaption from ZQ_TypeInfo where TypeName = ?"),
                    {typeName})
        .toString();
}

ClassContents readClassContents(const QSqlDatabase& db, const QString& classCode) {
    ClassContents contents;
    QSqlQuery classes =
        runSql(db,
               QStringLiteral("select DocSortID, DocSortName, DocSortMemo "
                              "from ZQ_DocInfoMaster where ") +
                   subtreeCondition() +
                   QStringLiteral(" and DocSortID <> ? and length(DocSortID) = ? "
                                  "order by DocSortID"),
               {classCode.size(), classCode, classCode, childCodeLength(classCode)});
    while (classes.next())
        contents.classes.append({classes.value(0).toString(), classes.value(1).toString(),
                                 classes.value(2).toString()});

    contents.templates = readTemplateRows(db, QStringLiteral("d.DocSortID = ?"), {classCode});
    return contents;
}

// Class name and type caption come with each row, so the rows cost one statement whatever
// their number. PostgreSQL runs them as lateral joins: as subqueries of the select list it runs
// them one row at a time after gathering the rows, several times slower on a large class.
// SQLite has no lateral join and runs the subqueries as fast.
QList<ListedTemplate> readTemplateRows(const QSqlDatabase& db, const QString& condition,
                                       const QVariantList& values) {
    const QString className = QStringLiteral(
        "select c.DocSortName from ZQ_DocInfoMaster c where c.DocSortID = d.DocSortID limit 1");
    const QString typeCaption = QStringLiteral(
        "select t.TypeCaption from ZQ_TypeInfo t where t.TypeName = d.DocTypeName limit 1");
    const QString names =
        isPostgres(db)
            ? QStringLiteral("c.DocSortName, t.TypeCaption from ZQ_DocTempDetail d "
                             "left join lateral (%1) c on true left join lateral (%2) t on true")
                  .arg(className, typeCaption)
            : QStringLiteral("(%1), (%2) from ZQ_DocTempDetail d").arg(className, typeCaption);
    QSqlQuery templates = runSql(
        db,
        QStringLiteral("select d.DocID, d.DocCaption, d.DocFileName, d.DocMemo, "
                       "d.DocTypeName, d.DocKeyWord, d.DocSortID, ") +
            names + (condition.isEmpty() ? QString() : QStringLiteral(" where ") + condition) +
            QStringLiteral(" order by d.DocID"),
        values);
    QList<ListedTemplate> rows;
    while (templates.next()) {
        const auto text = [&templates](int column) { return templates.value(column).toString(); };
        rows.append({{templates.value(0).toLongLong(), text(1), text(2), text(3), text(4), text(5),
                      text(6)},
                     text(7),
                     text(8)});
    }
    return rows;
}

namespace {

QList<TemplateRecord> readTemplates(QSqlQuery query) {
    QList<TemplateRecord> templates;
    while (query.next())
        templates.append({query.value(0).toLongLong(), query.value(1).toString(),
                          query.value(2).toString(), query.value(3).toString(),
                          query.value(4).toString(), query.value(5).toString(),
                          query.value(6).toString()});
    return templates;
}

const QString kTemplateColumns = QStringLiteral(
    "select DocID, DocCaption, DocFileName, DocMemo, DocTypeName, DocKeyWord, DocSortID "
    "from ZQ_DocTempDetail ");

} // namespace

QList<TemplateRecord> readClassTemplates(const QSqlDatabase& db, const QString& classCode) {
    return readTemplates(runSql(
        db, kTemplateColumns + QStringLiteral("where DocSortID = ? order by DocID"), {classCode}));
}

QList<TemplateRecord> readFileTemplates(const QSqlDatabase& db, const QString& fileName) {
    return readTemplates(runSql(
        db, kTemplateColumns + QStringLiteral("where DocFileName = ? order by DocID"), {fileName}));
}

} // namespace zq
