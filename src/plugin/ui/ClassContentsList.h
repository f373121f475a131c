#pragma once

#include "widgets/ReportListModel.h"

#include <QList>
#include <QSqlDatabase>
#include <QString>

namespace zq {

// The rows of the manager's list for what a class holds: its sub-classes, then its templates,
// each with its full path. A template whose file neither the catalogue nor this workstation has
// is missing. Throws when the catalogue cannot be read.
QList<ReportRow> classContentRows(const QSqlDatabase& db, const QString& classCode);

} // namespace zq
