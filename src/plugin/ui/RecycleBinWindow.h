#pragma once

#include <QDialog>
#include <QSqlDatabase>

class QPushButton;
class QTreeWidget;

namespace zq {

// "回收站": the deleted templates and class trees, newest first, with restore (to the old place,
// or to a class the person picks when that is taken or gone) and emptying (asked once, with the
// count).
class RecycleBinWindow : public QDialog {
    Q_OBJECT
public:
    RecycleBinWindow(QWidget* parent, const QSqlDatabase& db);

    void restoreSelected();
    void emptyAll();

private:
    void fill();

    QSqlDatabase m_db;
    QTreeWidget* m_items;
    QPushButton* m_restore;
    QPushButton* m_empty;
};

} // namespace zq
