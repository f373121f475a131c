#pragma once

#include "catalogue/CatalogueChange.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlDriver>

namespace zq {

// The one channel every workstation listens on.
inline constexpr char kNoticeChannel[] = "zq_catalogue";

// The process's hub of change notices. On PostgreSQL a notice is a NOTIFY in the writer's
// transaction, so the server delivers it at commit to every listening connection, this one's
// too, and drops it at rollback. On SQLite, one workstation, it is held until the transaction
// commits and then handed to this process's windows; another process's commits are seen as a
// new data version when a window checks.
class CatalogueNotices : public QObject {
    Q_OBJECT
public:
    static CatalogueNotices& instance();
    // At unload: the host's driver outlives the library and must hold no connection into it.
    static void release();

    void send(const QSqlDatabase& db, const CatalogueChange& change);
    // Told by Transaction when the outermost transaction of a connection ends.
    void transactionEnded(const QString& connection, bool committed);

    // Listens on the connection (PostgreSQL) and looks at it: a lost connection is opened again
    // and, the notices sent meanwhile being lost, followed by a Reload; on SQLite a commit of
    // another process since the last look is a Reload. Cheap enough for a timer: no round trip
    // on PostgreSQL while the connection is up.
    void check(const QSqlDatabase& db);
    bool isLost(const QSqlDatabase& db) const;

signals:
    void changed(const zq::CatalogueChange& change);
    // Only when the state turns: lost, then found again.
    void connectionLost(const QString& connection, bool lost);

private:
    CatalogueNotices() = default;
    void checkPostgres(const QSqlDatabase& db);
    void checkSqlite(const QSqlDatabase& db);
    void setLost(const QString& connection, bool lost);
    void deliver(const QString& name, QSqlDriver::NotificationSource source,
                 const QVariant& payload);

    QHash<QString, QList<CatalogueChange>> m_held; // SQLite, by connection, until commit
    QHash<QString, qint64> m_dataVersions;         // SQLite, by connection
    QSet<QString> m_listening;                     // PostgreSQL connections once subscribed
    QSet<QString> m_lost;
};

// The one line every write calls: the change it made, sent in its transaction.
void noticeChange(const QSqlDatabase& db, ChangeKind kind, const QString& key = QString());
void noticeChange(const QSqlDatabase& db, ChangeKind kind, qint64 docId);

} // namespace zq
