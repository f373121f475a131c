#pragma once

#include <QObject>
#include <QSqlDatabase>

namespace zq {

// The data module: holds the catalogue connection, which is the host's base connection.
class DataModule : public QObject {
    Q_OBJECT
public:
    explicit DataModule(QObject* owner);

    // The catalogue connection. Invalid when the host handed over no connection; every
    // catalogue operation then fails with a clear message.
    const QSqlDatabase& connection() const { return m_connection; }

private:
    void connectCatalogue();

    QSqlDatabase m_connection;
};

// Finds the data module among the application's components, or makes it.
DataModule* ensureDataModule();

} // namespace zq
