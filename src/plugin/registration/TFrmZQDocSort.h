#pragma once

#include <QDialog>
#include <QSqlDatabase>

class QPushButton;
class QTreeWidget;

namespace zq {

// "注册文档模板": registers the chosen template with the project open in the host and opens
// the new data item. Shows no message; a choice that cannot be registered does nothing.
class TFrmZQDocSort : public QDialog {
    Q_OBJECT
public:
    TFrmZQDocSort(QWidget* owner, const QSqlDatabase& db);

private slots:
    void tvwOrgDblClick();
    void BtBtnOKClick();

private:
    QSqlDatabase m_db;
    QTreeWidget* tvwOrg;
    QPushButton* BtBtnOK;
    QPushButton* BtBtnCancel;
};

} // namespace zq
