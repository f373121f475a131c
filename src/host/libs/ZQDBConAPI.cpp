// libZQDBConAPI.so: hands out the host's base connection. The connection object lives in the
// host's core, so it outlives this library, which the caller releases right after the call.

#include "HostCore.h"
#include "HostServices.h"

CORVANE_SERVICE void* GetBaseDBConnection() {
    QSqlDatabase* db = nullptr;
    corvane::serve("GetBaseDBConnection", QString(), [&](QJsonArray&) {
        QSqlDatabase& base = corvane::hostDatabase();
        db = base.isValid() ? &base : nullptr;
        return db ? base.driverName() + QLatin1Char(':') + base.connectionName() : QString();
    });
    return db;
}
