#pragma once

#include <QDialog>
#include <QSqlDatabase>

class QLabel;
class QPushButton;
class QTreeWidget;

namespace zq {

// "批量注册系统模板": registers every ticked template with the project open in the host,
// unticking each one registered, and closes when the last registration it attempted succeeded.
// When a template was skipped or refused it first says how many went through and what did not,
// and why; a batch that cannot start says why in the status line.
class BatchRegisterDialog : public QDialog {
    Q_OBJECT
public:
    BatchRegisterDialog(QWidget* owner, const QSqlDatabase& db);

private slots:
    void acceptIfValid();

private:
    // Another writer's changes: the tree filled again, its view and ticks kept.

    QSqlDatabase m_db;
    QTreeWidget* m_tree;
    QPushButton* m_okButton;
    QPushButton* m_cancelButton;
    QLabel* m_status;
};

} // namespace zq
