#pragma once

#include <QSqlDatabase>
#include <QString>

namespace corvane {

// Fills a new catalogue with a few classes and two templates, writing the templates' files into
// the store folder when they are missing, so that a first start shows something.
void seedDemoCatalogue(const QSqlDatabase& db, const QString& storeFolder);

} // namespace corvane
