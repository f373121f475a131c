#pragma once

#include <QSqlDatabase>
#include <QString>

namespace zq::bench {

// Files a class with the given code holding ten sub-classes (one template each) and the given
// number of templates of mixed data types, some without a stored file, in one transaction.
void GenerateLargeClass(const QSqlDatabase& db, const QString& code, int templates);

} // namespace zq::bench
