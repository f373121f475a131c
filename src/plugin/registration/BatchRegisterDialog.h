#pragma once

#include <QDialog>
#include <QSqlDatabase>

class QPushButton;
class QTreeWidget;

namespace zq {

// "批量注册系统模板": registers every ticked template with the project open in the host, and
// closes when the last registration it attempted succeeded. Shows no message.
class BatchRegisterDialog : public QDialog {
    Q_OBJECT
public:
    BatchRegisterDialog(QWidget* owner, const QSqlDatabase& db);

private slots:
    void acceptIfValid();

private:
    QSqlDatabase m_db;
    QTreeWidget* m_tree;
    QPushButton* m_okButton;
    QPushButton* m_cancelButton;
};

} // namespace zq
