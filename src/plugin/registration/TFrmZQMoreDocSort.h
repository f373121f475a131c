#pragma once

#include <QDialog>
#include <QSqlDatabase>

class QPushButton;
class QTreeWidget;

namespace zq {

// "批量注册系统模板": registers every ticked template with the project open in the host, and
// closes when the last registration it attempted succeeded. Shows no message.
class TFrmZQMoreDocSort : public QDialog {
    Q_OBJECT
public:
    TFrmZQMoreDocSort(QWidget* owner, const QSqlDatabase& db);

private slots:
    void BtBtnOKClick();

private:
    QSqlDatabase m_db;
    QTreeWidget* tvwOrg;
    QPushButton* BtBtnOK;
    QPushButton* BtBtnCancel;
};

} // namespace zq
