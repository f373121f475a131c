#pragma once

#include <QObject>
#include <QSqlDatabase>

namespace zq {

// The data module: holds the catalogue connection, which is the host's base connection.
class TDMZQDocTemplateMG : public QObject {
    Q_OBJECT
public:
    explicit TDMZQDocTemplateMG(QObject* owner);

    // Invalid when the host handed over no connection; every catalogue operation then fails
    // with a clear message.
    QSqlDatabase ADOConDocMG;

private:
    void DataModuleCreate();
};

// Finds the data module among the application's components, or makes it.
TDMZQDocTemplateMG* EnsureDataModule();

} // namespace zq
