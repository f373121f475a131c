#pragma once

#include <QDialog>
#include <QSqlDatabase>

namespace zq {

class TFrmZQDocSort : public QDialog {
    Q_OBJECT
public:
    TFrmZQDocSort(QWidget* owner, const QSqlDatabase& db);

private:
    QSqlDatabase m_db;
};

} // namespace zq
