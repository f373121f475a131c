#include "catalogue/TemplateSearch.h"

#include "catalogue/ClassCatalogue.h"
#include "catalogue/Pinyin.h"
#include "catalogue/Sql.h"

#include <QSet>

#include <algorithm>

namespace zq {

namespace {

// SQLite's longest LIKE pattern, in bytes; the same bound holds on every engine.
constexpr qsizetype kPatternLimit = 50000;
constexpr int kRowsPerInsert = 500;

const QString kIdTable = QStringLiteral("zq_search_ids");
const QString kCodeTable = QStringLiteral("zq_search_codes");
// The plug-in's own table of pinyin keys, one row a template, with the caption they were
// made from.
const QString kPinyinTable = QStringLiteral("ZQ_DocPinyin");

// "%text%" with the wildcards and the escape character of the text taken literally.
QString containsPattern(const QString& text, const QString& field) {
    QString escaped;
    for (const QChar ch : text) {
        if (ch == QLatin1Char('%') || ch == QLatin1Char('_') || ch == QLatin1Char('\\'))
            escaped.append(QLatin1Char('\\'));
        escaped.append(ch);
    }
    const QString pattern = QLatin1Char('%') + escaped + QLatin1Char('%');
    if (pattern.toUtf8().size() > kPatternLimit)
        throw SearchRefused(QStringLiteral("查找的%1太长（超过 %2 个字节），请缩短后再查找！")
                                .arg(field)
                                .arg(kPatternLimit));
    return pattern;
}

const QString kLike = QStringLiteral(" like ? escape '\\'");

// Adds rows of `columns` values each with one multi-row insert per chunk: "head (?, ...), ...
// tail".
void insertInChunks(const QSqlDatabase& db, const QString& head, int columns,
                    const QVariantList& values, const QString& tail = {}) {
    const QString row = QLatin1Char('(') + placeholders(columns) + QLatin1Char(')');
    const qsizetype chunk = qsizetype(kRowsPerInsert) * columns;
    for (qsizetype from = 0; from < values.size(); from += chunk) {
        const QVariantList part = values.mid(from, chunk);
        const QStringList rows(part.size() / columns, row);
        runSql(db, head + rows.join(QLatin1Char(',')) + tail, part);
    }
}

// Puts the values into a temporary table of the connection, replacing what it held. The table
// has one column, the key.
void fillTempTable(const QSqlDatabase& db, const QString& table, const QString& column,
                   const QVariantList& values) {
    Transaction transaction(db);
    runSql(db, QStringLiteral("create temporary table if not exists %1 (%2 primary key)")
                   .arg(table, column));
    runSql(db, QStringLiteral("delete from %1").arg(table));
    insertInChunks(db, QStringLiteral("insert into %1 values ").arg(table), 1, values);
    // A temporary table has no statistics until analysed: PostgreSQL would take it for a large
    // one and plan the search as a costly one (compiling it first when the server compiles
    // costly statements), several times slower than the search itself.
    runSql(db, QStringLiteral("analyze %1").arg(table));
    transaction.commit();
}

// The codes none of whose prefixes is among the codes: the tops of the subtrees they make.
QStringList subtreeTops(QStringList codes) {
    std::sort(codes.begin(), codes.end());
    QStringList tops;
    for (const QString& code : std::as_const(codes))
        if (tops.isEmpty() || !code.startsWith(tops.last()))
            tops.append(code);
    return tops;
}

class WhereBuilder {
public:
    void add(const QString& condition, const QVariantList& values = {}) {
        m_where.condition +=
            (m_where.condition.isEmpty() ? QString() : QStringLiteral(" and ")) + condition;
        m_where.values += values;
    }
    const SearchWhere& where() const { return m_where; }

private:
    SearchWhere m_where;
};

void addNameCondition(WhereBuilder& where, const SearchCriteria& criteria) {
    const QString name = criteria.name.trimmed();
    if (criteria.mode == MatchMode::Exact)
        where.add(QStringLiteral("d.DocCaption = ?"), {name});
    else
        where.add(QStringLiteral("d.DocCaption") + kLike,
                  {containsPattern(name, QStringLiteral("模板名称"))});
}

// The type criterion takes every type that bears the caption; the empty caption stands for
// the types that have none.
void addTypeCondition(WhereBuilder& where, const QSqlDatabase& db, const SearchCriteria& criteria) {
    const QString caption = criteria.typeCaption.trimmed();
    const QStringList names =
        criteria.mode == MatchMode::Fuzzy ? typeNamesOfCaption(db, caption) : QStringList();
    if (names.isEmpty()) {
        where.add(QStringLiteral("coalesce((select t.TypeCaption from ZQ_TypeInfo t "
                                 "where t.TypeName = d.DocTypeName), '') = ?"),
                  {caption});
        return;
    }
    QStringList likes;
    QVariantList patterns;
    for (const QString& name : names) {
        likes.append(QStringLiteral("d.DocTypeName") + kLike);
        patterns.append(containsPattern(name, QStringLiteral("资料类型")));
    }
    where.add(QLatin1Char('(') + likes.join(QStringLiteral(" or ")) + QLatin1Char(')'), patterns);
}

void addClassCondition(WhereBuilder& where, const QSqlDatabase& db,
                       const SearchCriteria& criteria) {
    const QString path = criteria.classPath.trimmed();
    // The root's own path (what the picker gives for the root) holds the whole catalogue; any
    // other single name after a backslash is a class name like one typed without it.
    if (path.startsWith(QLatin1Char('\\')) && splitClassPath(path) == QStringList{rootClassName()})
        return;
    const QStringList tops = subtreeTops(classCodesOfPath(db, path, criteria.mode));
    if (tops.isEmpty())
        return where.add(QStringLiteral("0 = 1"));
    QVariantList codes;
    QSet<qsizetype> lengths;
    for (const QString& code : tops) {
        codes.append(code);
        lengths.insert(code.size());
    }
    fillTempTable(db, kCodeTable, QStringLiteral("Code varchar(200)"), codes);
    // One probe of the code table per length of code, whatever the number of codes.
    QList<qsizetype> sorted(lengths.cbegin(), lengths.cend());
    std::sort(sorted.begin(), sorted.end());
    QStringList probes;
    QVariantList values;
    for (const qsizetype length : std::as_const(sorted)) {
        probes.append(codePrefixSql(QStringLiteral("d.DocSortID")) +
                      QStringLiteral(" in (select Code from %1)").arg(kCodeTable));
        values.append(length);
    }
    where.add(QLatin1Char('(') + probes.join(QStringLiteral(" or ")) + QLatin1Char(')'), values);
}

void fillIdTable(const QSqlDatabase& db, const QList<qint64>& ids) {
    QVariantList values;
    QSet<qint64> seen;
    for (const qint64 id : ids)
        if (!seen.contains(id)) {
            seen.insert(id);
            values.append(id);
        }
    fillTempTable(db, kIdTable, QStringLiteral("DocID bigint"), values);
}

QString inIdTable() {
    return QStringLiteral("d.DocID in (select DocID from %1)").arg(kIdTable);
}

// Gives every template that meets the condition up-to-date pinyin keys in the plug-in's own
// table: those it lacks, and those whose caption changed since. So templates added or renamed by
// any program or workstation get their keys at the next pinyin search that meets them.
void refreshPinyinKeys(const QSqlDatabase& db, const SearchWhere& among) {
    runSql(db, QStringLiteral("create table if not exists %1 (DocID bigint not null primary key, "
                              "DocCaption varchar(200) not null, Spelling varchar(2000) not "
                              "null, Initials varchar(2000) not null)")
                   .arg(kPinyinTable));
    QSqlQuery stale = runSql(
        db,
        QStringLiteral("select d.DocID, d.DocCaption from ZQ_DocTempDetail d left join %1 p on "
                       "p.DocID = d.DocID where (p.DocID is null or p.DocCaption <> d.DocCaption)")
                .arg(kPinyinTable) +
            (among.condition.isEmpty() ? QString() : QStringLiteral(" and ") + among.condition),
        among.values);
    QVariantList rows;
    while (stale.next()) {
        const QString caption = stale.value(1).toString();
        const PinyinKeys keys = pinyinKeys(caption);
        rows << stale.value(0).toLongLong() << caption << keys.spelling << keys.initials;
    }
    if (rows.isEmpty())
        return;
    // Another workstation may be writing the same keys.
    Transaction transaction(db);
    insertInChunks(db,
                   QStringLiteral("insert into %1(DocID, DocCaption, Spelling, Initials) values ")
                       .arg(kPinyinTable),
                   4, rows,
                   QStringLiteral(" on conflict (DocID) do update set DocCaption = "
                                  "excluded.DocCaption, Spelling = excluded.Spelling, "
                                  "Initials = excluded.Initials"));
    transaction.commit();
}

} // namespace

QStringList typeCaptions(const QSqlDatabase& db) {
    QSqlQuery query = runSql(
        db, QStringLiteral("select distinct coalesce(t.TypeCaption, '') from ZQ_DocTempDetail d "
                           "left join ZQ_TypeInfo t on d.DocTypeName = t.TypeName order by 1"));
    QStringList captions;
    while (query.next())
        captions.append(query.value(0).toString());
    return captions;
}

QStringList typeNamesOfCaption(const QSqlDatabase& db, const QString& caption) {
    QSqlQuery query = runSql(
        db,
        QStringLiteral("select TypeName from ZQ_TypeInfo where TypeCaption = ? order by TypeName"),
        {caption});
    QStringList names;
    while (query.next())
        names.append(query.value(0).toString());
    return names;
}

QStringList splitClassPath(const QString& path) {
    const QStringList parts = path.split(QLatin1Char('\\'));
    return parts.size() == 1 ? parts : parts.mid(1);
}

QStringList classCodesOfPath(const QSqlDatabase& db, const QString& path, MatchMode mode) {
    const QStringList names = splitClassPath(path);
    const qsizetype last = names.size() - 1;
    WhereBuilder where;
    // Every name between the root's and the last fixes the code of one level.
    const QString named =
        codePrefixSql() + QStringLiteral(" in (select DocSortID from "
                                         "ZQ_DocInfoMaster where DocSortName = ?)");
    for (qsizetype level = 1; level < last; ++level)
        where.add(named, {classCodeLength(level), names[level]});
    if (mode == MatchMode::Exact)
        where.add(named, {classCodeLength(last), names[last]});
    else
        where.add(QStringLiteral("DocSortName") + kLike,
                  {containsPattern(names[last], QStringLiteral("模板分类"))});
    QSqlQuery query = runSql(db,
                             QStringLiteral("select DocSortID from ZQ_DocInfoMaster where ") +
                                 where.where().condition + QStringLiteral(" order by DocSortID"),
                             where.where().values);
    QStringList codes;
    while (query.next())
        codes.append(query.value(0).toString());
    return codes;
}

SearchWhere buildSearchWhere(const QSqlDatabase& db, const SearchCriteria& criteria) {
    WhereBuilder where;
    if (criteria.byName)
        addNameCondition(where, criteria);
    if (criteria.byType)
        addTypeCondition(where, db, criteria);
    if (criteria.byClass)
        addClassCondition(where, db, criteria);
    if (criteria.withinLast) {
        fillIdTable(db, criteria.lastIds);
        where.add(inIdTable());
    }
    return where.where();
}

QList<ListedTemplate> searchTemplates(const QSqlDatabase& db, const SearchCriteria& criteria) {
    const SearchWhere where = buildSearchWhere(db, criteria);
    QList<ListedTemplate> rows = readTemplateRows(db, where.condition, where.values);
    if (!rows.isEmpty() || !criteria.byName || !isPinyinQuery(criteria.name))
        return rows;

    // Nothing bears the Latin text: read it as pinyin among what the other criteria find.
    SearchCriteria others = criteria;
    others.byName = false;
    const SearchWhere rest = buildSearchWhere(db, others);
    refreshPinyinKeys(db, rest);
    const QString key = pinyinSearchKey(criteria.name);
    WhereBuilder pinyin;
    if (criteria.mode == MatchMode::Exact)
        pinyin.add(QStringLiteral("d.DocID in (select DocID from %1 where Spelling = ? "
                                  "or Initials = ?)")
                       .arg(kPinyinTable),
                   {key, key});
    else // the key holds letters and digits only: no wildcard to escape
        pinyin.add(
            QStringLiteral("d.DocID in (select DocID from %1 where Spelling like ? "
                           "or Initials like ?)")
                .arg(kPinyinTable),
            {QLatin1Char('%') + key + QLatin1Char('%'), QLatin1Char('%') + key + QLatin1Char('%')});
    if (!rest.condition.isEmpty())
        pinyin.add(rest.condition, rest.values);
    return readTemplateRows(db, pinyin.where().condition, pinyin.where().values);
}

} // namespace zq
