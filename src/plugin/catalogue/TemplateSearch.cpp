#include "catalogue/TemplateSearch.h"

#include "catalogue/ClassCatalogue.h"
#include "catalogue/Pinyin.h"
#include "catalogue/PostgresWire.h"
#include "catalogue/SearchKeys.h"
#include "catalogue/Sql.h"

#include <QSet>

#include <algorithm>

namespace zq {

namespace {

// SQLite's longest LIKE pattern, in bytes; the same bound holds on every engine.
constexpr qsizetype kPatternLimit = 50000;
// The trigram index finds texts of this many characters and more.
constexpr qsizetype kIndexedLength = 3;

const QString kIdTable = QStringLiteral("zq_search_ids");
const QString kCodeTable = QStringLiteral("zq_search_codes");

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

// Puts the values into a temporary table of the connection, replacing what it held. The table
// has one column, the key. The values go in by one prepared statement run for each on SQLite,
// by one binary COPY on PostgreSQL (where each run would be a round trip).
void fillTempTable(const QSqlDatabase& db, const QString& table, const QString& column,
                   const QVariantList& values) {
    Transaction transaction(db);
    runSql(db, QStringLiteral("create temporary table if not exists %1 (%2 primary key)")
                   .arg(table, column));
    runSql(db, QStringLiteral("delete from %1").arg(table));
    if (PGconn* pg = postgresConnection(db)) {
        PostgresCopy copy(pg, table);
        for (const QVariant& value : values)
            copy.row({value.typeId() == QMetaType::LongLong ? bigEndian(value.toLongLong())
                                                            : value.toString().toUtf8()});
        copy.finish();
    } else {
        runSqlBatch(db, QStringLiteral("insert into %1 values(?)").arg(table), {values});
    }
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

bool indexServes(const QString& text) {
    return text.toUcs4().size() >= kIndexedLength;
}

// A phrase of FTS5's query syntax, found within the columns: the text quoted, its quotes
// doubled, so nothing in it is an operator.
QString ftsPhrase(const QString& columns, QString text) {
    text.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QStringLiteral("{%1}: \"%2\"").arg(columns, text);
}

// The name as a caption, and where the text may be pinyin, also as the keys' spelling or
// initials: in fuzzy mode each blank-separated part found in either. Where every text is long
// enough for the trigram index, the index picks the candidates and the tests check them;
// otherwise the tests run on what the other criteria leave.
void addNameCondition(WhereBuilder& where, const QSqlDatabase& db, const SearchCriteria& criteria) {
    const QString name = criteria.name.trimmed();
    const bool exact = criteria.mode == MatchMode::Exact;
    const QString compare = exact ? QStringLiteral(" = ?") : kLike;
    const QVariant caption = exact ? name : containsPattern(name, QStringLiteral("模板名称"));
    if (!searchKeysKept(db))
        return where.add(QStringLiteral("d.DocCaption") + compare, {caption});

    QStringList keyTests;
    QVariantList keyValues;
    // What PostgreSQL's index serves: the tests of the parts long enough, and their values.
    QStringList indexTests;
    QVariantList indexValues;
    QStringList phrases;
    bool indexed = indexServes(name);
    if (isPinyinQuery(name)) {
        const QStringList parts =
            exact ? QStringList{pinyinSearchKey(name)} : pinyinSearchParts(name);
        QStringList partPhrases;
        for (const QString& part : parts) {
            const QString test = QStringLiteral("(k.Spelling%1 or k.Initials%1)").arg(compare);
            // Letters and digits only: no wildcard to escape.
            const QString value = exact ? part : QLatin1Char('%') + part + QLatin1Char('%');
            keyTests.append(test);
            keyValues << value << value;
            if (!indexServes(part))
                continue;
            indexTests.append(test);
            indexValues << value << value;
            partPhrases.append(ftsPhrase(QStringLiteral("Spelling Initials"), part));
        }
        indexed = indexed && !partPhrases.isEmpty();
        phrases.append(QLatin1Char('(') + partPhrases.join(QStringLiteral(" AND ")) +
                       QLatin1Char(')'));
    }
    const QString keyTest = keyTests.join(QStringLiteral(" and "));
    if (indexed && searchIndexKept(db)) {
        phrases.prepend(ftsPhrase(QStringLiteral("DocCaption"), name));
        where.add(QStringLiteral("d.DocID in (select rowid from %1 where %1 match ?)")
                      .arg(kSearchIndexTable),
                  {phrases.join(QStringLiteral(" OR "))});
    } else if (indexed && isPostgres(db)) {
        const QString indexTest = indexTests.join(QStringLiteral(" and "));
        where.add(QStringLiteral("d.DocID in (select k.DocID from %1 k where k.DocCaption%2%3)")
                      .arg(kSearchKeyTable, compare,
                           indexTest.isEmpty() ? QString() : QStringLiteral(" or ") + indexTest),
                  QVariantList{caption} + indexValues);
    }
    if (keyTest.isEmpty())
        return where.add(QStringLiteral("d.DocCaption") + compare, {caption});
    where.add(QStringLiteral("(d.DocCaption%1 or exists (select 1 from %2 k where k.DocID = "
                             "d.DocID and %3))")
                  .arg(compare, kSearchKeyTable, keyTest),
              QVariantList{caption} + keyValues);
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
    if (criteria.byType)
        addTypeCondition(where, db, criteria);
    if (criteria.byClass)
        addClassCondition(where, db, criteria);
    if (criteria.withinLast) {
        fillIdTable(db, criteria.lastIds);
        where.add(inIdTable());
    }
    // Last: a text too short for the index is tested on what the others leave.
    if (criteria.byName)
        addNameCondition(where, db, criteria);
    return where.where();
}

QList<ListedTemplate> searchTemplates(const QSqlDatabase& db, const SearchCriteria& criteria) {
    const SearchWhere where = buildSearchWhere(db, criteria);
    return readTemplateRows(db, where.condition, where.values);
}

} // namespace zq
