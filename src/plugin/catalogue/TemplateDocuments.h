#pragma once

#include "catalogue/NodeRecords.h"

#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QVariant>

namespace zq {

// Refuses, as insertTemplate does, a row whose texts the catalogue cannot store.
void checkTemplateRow(const TemplateRecord& row);
// Inserts the row (caption and description without surrounding blanks) into its class, which
// must exist, and returns the DocID the database gave that very row; the record's own DocID
// plays no part.
qint64 insertTemplate(const QSqlDatabase& db, const TemplateRecord& row);
void updateTemplateText(const QSqlDatabase& db, qint64 docId, const QString& caption,
                        const QString& memo);
void deleteTemplateRow(const QSqlDatabase& db, qint64 docId);
// Whether any template row names the stored file.
bool fileNameInUse(const QSqlDatabase& db, const QString& docFileName);
// The display name of a data type, or the empty text.
QString typeCaptionOf(const QSqlDatabase& db, const QString& typeName);

// A template as the lists show it: its record, its class's name and its type's caption.
struct ListedTemplate {
    TemplateRecord record;
    QString className;
    QString typeCaption;
};

// What a class holds directly.
struct ClassContents {
    QList<ClassRecord> classes;
    QList<ListedTemplate> templates;
};

constexpr int kClassImage = 10;
constexpr int kTemplateImage = 11;
constexpr int kCatalogueTemplateImage = 0;

// What a class holds, directly: its sub-classes (by code) and its templates (by DocID). The
// empty code is the root: top-level classes and the templates filed outside every class.
// Always two statements, whatever the number of rows.
ClassContents readClassContents(const QSqlDatabase& db, const QString& classCode);

// The templates of ZQ_DocTempDetail d that meet the condition (every one for the empty text),
// by DocID. Always one statement.
QList<ListedTemplate> readTemplateRows(const QSqlDatabase& db, const QString& condition,
                                       const QVariantList& values = {});

// The templates filed directly in one class (the empty code: under no class), by DocID.
QList<TemplateRecord> readClassTemplates(const QSqlDatabase& db, const QString& classCode);
// The templates whose stored file has the name, by DocID.
QList<TemplateRecord> readFileTemplates(const QSqlDatabase& db, const QString& fileName);

} // namespace zq
