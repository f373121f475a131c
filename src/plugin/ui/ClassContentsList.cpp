#include "ui/ClassContentsList.h"

#include "catalogue/TemplateDocuments.h"
#include "catalogue/TemplateFiles.h"
#include "catalogue/TemplateStore.h"

#include <QFileInfo>

namespace zq {

QList<ReportRow> classContentRows(const QSqlDatabase& db, const QString& classCode) {
    const QList<ClassContentRow> rows = readClassContents(db, classCode);
    const QSet<QString> kept = keptFileNamesOfClass(db, classCode);
    const QString store = templateStorePath();
    QList<ReportRow> result;
    result.reserve(rows.size());
    for (const ClassContentRow& row : rows) {
        ReportRow listed;
        listed.kind = row.image == kClassImage ? RowKind::Class : RowKind::Template;
        listed.caption = row.caption;
        listed.memo = row.memo;
        listed.className = row.className;
        if (listed.isClass())
            listed.classCode = row.id;
        else
            listed.docId = row.id.toLongLong();
        listed.typeCaption = row.typeCaption;
        // A class row carries the store and its blank, as the host has always seen it.
        listed.filePath = listed.isClass() ? store + row.fileName : storedFilePath(row.fileName);
        // Missing only when neither the catalogue nor this workstation has it.
        listed.missing = !listed.isClass() && !kept.contains(row.fileName) &&
                         !QFileInfo::exists(store + row.fileName);
        result.append(listed);
    }
    return result;
}

} // namespace zq
