#pragma once

#include <QDialog>
#include <QSqlDatabase>

class QLabel;
class QPushButton;
class QTreeWidget;

namespace zq {

// "注册文档模板": registers the chosen template with the project open in the host and opens
// the new data item. A choice that cannot be registered leaves the dialog open and its status
// line says why.
class RegisterTemplateDialog : public QDialog {
    Q_OBJECT
public:
    RegisterTemplateDialog(QWidget* owner, const QSqlDatabase& db);

private slots:
    void onTreeDoubleClicked();
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
