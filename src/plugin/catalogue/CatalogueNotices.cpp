#include "catalogue/CatalogueNotices.h"

#include "catalogue/PostgresWire.h"
#include "catalogue/Sql.h"

#include <QSqlDriver>

namespace zq {

namespace {

CatalogueNotices* g_hub = nullptr;

} // namespace

CatalogueNotices& CatalogueNotices::instance() {
    if (!g_hub)
        g_hub = new CatalogueNotices;
    return *g_hub;
}

void CatalogueNotices::release() {
    delete std::exchange(g_hub, nullptr);
}

void CatalogueNotices::send(const QSqlDatabase& db, const CatalogueChange& change) {
    if (isPostgres(db)) {
        runSql(db, QStringLiteral("select pg_notify(?, ?)"),
               {QString::fromLatin1(kNoticeChannel), change.payload()});
        return;
    }
    if (!inTransaction(db)) {
        emit changed(change);
        return;
    }
    QList<CatalogueChange>& held = m_held[db.connectionName()];
    if (!held.contains(change))
        held.append(change);
}

void CatalogueNotices::transactionEnded(const QString& connection, bool committed) {
    const QList<CatalogueChange> held = m_held.take(connection);
    if (committed)
        for (const CatalogueChange& change : held)
            emit changed(change);
}

void CatalogueNotices::check(const QSqlDatabase& db) {
    if (!db.isValid())
        return;
    if (isPostgres(db))
        checkPostgres(db);
    else
        checkSqlite(db);
}

bool CatalogueNotices::isLost(const QSqlDatabase& db) const {
    return m_lost.contains(db.connectionName());
}

void CatalogueNotices::checkPostgres(const QSqlDatabase& db) {
    const QString name = db.connectionName();
    PGconn* pg = db.isOpen() ? postgresConnection(db) : nullptr;
    if (!pg || PQstatus(pg) != CONNECTION_OK) {
        setLost(name, true);
        if (inTransaction(db)) // its owner finds out and rolls back first
            return;
        QSqlDatabase again = db;
        again.close();
        if (!again.open())
            return;
    }
    QSqlDriver* driver = db.driver();
    const QString channel = QString::fromLatin1(kNoticeChannel);
    // Another user of the connection (the host) may listen already; a connection opened again
    // (here or by a statement that found it lost) listens on nothing.
    const bool listening = driver->subscribedToNotifications().contains(channel);
    if (!listening && !driver->subscribeToNotification(channel)) {
        setLost(name, true);
        return;
    }
    connect(driver, &QSqlDriver::notification, this, &CatalogueNotices::deliver,
            Qt::UniqueConnection);
    const bool resumed = m_lost.contains(name) || (m_listening.contains(name) && !listening);
    m_listening.insert(name);
    setLost(name, false);
    if (resumed)
        emit changed(CatalogueChange{ChangeKind::Reload, QString()});
}

void CatalogueNotices::checkSqlite(const QSqlDatabase& db) {
    if (!db.isOpen() || inTransaction(db))
        return;
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("pragma data_version")) || !query.next())
        return;
    const qint64 version = query.value(0).toLongLong();
    const auto seen = m_dataVersions.constFind(db.connectionName());
    const bool changedElsewhere = seen != m_dataVersions.cend() && *seen != version;
    m_dataVersions.insert(db.connectionName(), version);
    if (changedElsewhere)
        emit changed(CatalogueChange{ChangeKind::Reload, QString()});
}

void CatalogueNotices::setLost(const QString& connection, bool lost) {
    if (lost == m_lost.contains(connection))
        return;
    if (lost)
        m_lost.insert(connection);
    else
        m_lost.remove(connection);
    emit connectionLost(connection, lost);
}

void CatalogueNotices::deliver(const QString& name, QSqlDriver::NotificationSource,
                               const QVariant& payload) {
    if (name != QLatin1String(kNoticeChannel))
        return;
    if (const std::optional<CatalogueChange> change =
            CatalogueChange::fromPayload(payload.toString()))
        emit changed(*change);
}

void noticeChange(const QSqlDatabase& db, ChangeKind kind, const QString& key) {
    CatalogueNotices::instance().send(db, CatalogueChange{kind, key});
}

void noticeChange(const QSqlDatabase& db, ChangeKind kind, qint64 docId) {
    noticeChange(db, kind, QString::number(docId));
}

} // namespace zq
