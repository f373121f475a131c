#pragma once

#include <QDialog>
#include <QSqlDatabase>

namespace zq {

class TFrmZQMoreDocSort : public QDialog {
    Q_OBJECT
public:
    TFrmZQMoreDocSort(QWidget* owner, const QSqlDatabase& db);

private:
    QSqlDatabase m_db;
};

} // namespace zq
