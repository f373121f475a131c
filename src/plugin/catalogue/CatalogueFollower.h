#pragma once

#include "catalogue/CatalogueChange.h"

#include <QList>
#include <QObject>
#include <QSqlDatabase>
#include <QTimer>

namespace zq {

// Follows the catalogue for one window: gathers a burst of notices and hands them over
// together, never while a transaction of the connection is open (a window's own long write
// lets events through); looks at the connection on a cheap timer and when asked (the window
// comes to the front).
class CatalogueFollower : public QObject {
    Q_OBJECT
public:
    CatalogueFollower(QObject* owner, const QSqlDatabase& db);

    void checkNow();

    // What a status line says of a row gone under the person's cursor, and of the connection.
    static QString vanishedTemplateText();
    static QString connectionText(bool lost);

signals:
    void changesArrived(const QList<zq::CatalogueChange>& changes);
    // Only when the state turns.
    void connectionLost(bool lost);

private:
    void hand();

    QSqlDatabase m_db;
    QTimer m_burst;
    QTimer m_look;
    QList<CatalogueChange> m_pending;
};

} // namespace zq
