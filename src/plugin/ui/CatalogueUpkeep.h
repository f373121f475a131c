#pragma once

#include <QSqlDatabase>
#include <QString>

class QWidget;

namespace zq {

// What opening the manager does to the catalogue before anyone works in it: clears what
// crashed runs left, makes the plug-in's tables (outside every transaction, so that they cost
// no look-up later), stores this workstation's files in a catalogue that keeps them and makes
// the search keys a catalogue lacks, each long step behind a splash over the window. Gives a
// problem to say in the status line, or the empty text; throws on a failure.
QString prepareCatalogue(QWidget* window, const QSqlDatabase& db);

} // namespace zq
