#include "ui/ClassContentsList.h"

#include "catalogue/TemplateDocuments.h"
#include "catalogue/TemplateFiles.h"
#include "catalogue/TemplateStore.h"

#include <QFileInfo>

namespace zq {

QList<ReportRow> classContentRows(const QSqlDatabase& db, const QString& classCode) {
    const ClassContents contents = readClassContents(db, classCode);
    const QSet<QString> kept = keptFileNamesOfClass(db, classCode);
    const QString store = templateStorePath();
    QList<ReportRow> rows;
    rows.reserve(contents.classes.size() + contents.templates.size());
    for (const ClassRecord& listed : contents.classes) {
        ReportRow row;
        row.kind = RowKind::Class;
        row.caption = listed.name;
        row.memo = listed.memo;
        row.classCode = listed.code;
        // The store and a blank, as the host has always seen it on a class row.
        row.filePath = store + QLatin1Char(' ');
        rows.append(row);
    }
    for (const ListedTemplate& listed : contents.templates) {
        ReportRow row = templateReportRow(listed);
        // Missing only when neither the catalogue nor this workstation has it.
        const QString& fileName = listed.record.fileName;
        row.missing = !kept.contains(fileName) && !QFileInfo::exists(store + fileName);
        rows.append(row);
    }
    return rows;
}

} // namespace zq
