#pragma once

#include "catalogue/TemplateDocuments.h"

#include <QSqlDatabase>
#include <QString>
#include <functional>

namespace zq {

// Whether a template may be catalogued, asked once its file is in the store (the host registers
// a new resource there); may fill in the row's type name and keyword.
using TemplateAdmission = std::function<bool(TemplateRecord& row, const QString& storedPath)>;

// Adds a template from a file: copies it into the store folder under a free name (row.fileName
// follows) and catalogues the row, with the file's bytes, once `admit` allows it. Gives the new
// DocID, or -1 when refused. Until its row is committed the copy is journalled, and it goes
// again unless the template is catalogued, so that not even a crash leaves a store file that no
// row names. Throws when the file cannot be copied or the catalogue refuses the row (its class
// was deleted meanwhile, say).
qint64 addTemplateFile(const QSqlDatabase& db, const QString& store, const QString& sourcePath,
                       TemplateRecord& row, const TemplateAdmission& admit = {});

} // namespace zq
