#pragma once

#include <QLoggingCategory>

namespace zq {

// The catalogue's own log: off below warnings unless QT_LOGGING_RULES turns it on.
Q_DECLARE_LOGGING_CATEGORY(catalogueLog)

// Sends Qt's uncategorised messages below critical (its SQL drivers warn that way) to
// catalogueLog at info level, so that they reach no one's standard error unless asked for.
void routeQtWarningsToLog();

} // namespace zq
