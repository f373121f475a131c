#pragma once

#include "catalogue/TemplateDocuments.h"
#include "util/Error.h"

#include <QList>
#include <QSqlDatabase>
#include <QStringList>
#include <QVariantList>

namespace zq {

enum class MatchMode { Exact, Fuzzy };

// What the search dialog asks for; each criterion counts only while its flag is set.
struct SearchCriteria {
    bool byName = false;
    QString name;
    bool byType = false;
    QString typeCaption;
    bool byClass = false;
    QString classPath; // "\" + root text + "\" + class names; the root's path alone: all
    MatchMode mode = MatchMode::Fuzzy;
    bool withinLast = false; // only among lastIds, the templates the previous search found
    QList<qint64> lastIds;
};

// A search that cannot run as asked (a search text too long for the database); the message
// says why.
class SearchRefused : public Error {
public:
    using Error::Error;
};

// The captions of the data types the templates have, in order, each once; a type without a
// row in ZQ_TypeInfo gives the empty caption.
QStringList typeCaptions(const QSqlDatabase& db);
// The data type names that bear the caption, in name order.
QStringList typeNamesOfCaption(const QSqlDatabase& db, const QString& caption);

// The names of a class path text: nothing before the first "\" counts, every text after a "\"
// is one name (empty ones too); a text without "\" is one name.
QStringList splitClassPath(const QString& path);
// The codes of the classes the path names. Exact: the named class and every class below it,
// found by name level by level. Fuzzy: below the classes the path names down to its last
// name but one, every class whose name contains the last name. The first name stands for the
// root and takes no part.
QStringList classCodesOfPath(const QSqlDatabase& db, const QString& path, MatchMode mode);

// The condition on ZQ_DocTempDetail d that the criteria make (empty: every template), with
// its values, each criterion built once. Names are matched literally: in fuzzy mode %, _ and
// \ in them are no wildcards; a name that may be pinyin (Latin letters, digits, blanks,
// apostrophes) also finds the templates whose keys' spelling or initials hold it. Lists of
// values (class codes, the previous results) go through temporary tables of the connection,
// however long they are. Throws SearchRefused for a text too long to search for.
struct SearchWhere {
    QString condition;
    QVariantList values;
};
SearchWhere buildSearchWhere(const QSqlDatabase& db, const SearchCriteria& criteria);

// The templates that meet the criteria, by DocID, in one statement.
QList<ListedTemplate> searchTemplates(const QSqlDatabase& db, const SearchCriteria& criteria);

} // namespace zq
