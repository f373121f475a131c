#pragma once

#include <QList>
#include <QSqlDatabase>
#include <QString>

class QTreeWidgetItem;

namespace zq {

// The rows of the manager's list for what a class holds: its sub-classes, then its templates,
// each with the image index of its kind and, in its hidden columns, its id and full path. A
// template whose file neither the catalogue nor this workstation has is greyed. Throws when the
// catalogue cannot be read.
QList<QTreeWidgetItem*> classContentItems(const QSqlDatabase& db, const QString& classCode);

} // namespace zq
