#pragma once

#include <QSqlDatabase>
#include <QWidget>

namespace zq {

// The manager window: the class tree on the left, what the selected class holds on the right.
class TFrmZQDocTemplateMG : public QWidget {
    Q_OBJECT
public:
    TFrmZQDocTemplateMG(QWidget* owner, const QSqlDatabase& db);

private:
    QSqlDatabase m_db;
};

} // namespace zq
