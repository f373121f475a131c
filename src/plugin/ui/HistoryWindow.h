#pragma once

#include "catalogue/CatalogueHistory.h"

#include <QDialog>
#include <QSqlDatabase>

class QCheckBox;
class QDateEdit;
class QLineEdit;
class QPushButton;
class QTreeWidget;

namespace zq {

// "历史记录": who changed what in the catalogue, newest first, filtered by object (a class code,
// which takes in its templates, or a template's DocID), person and date range. Rows come a page
// at a time, the next page when the list is scrolled to its end or "更多" is pressed.
class HistoryWindow : public QDialog {
    Q_OBJECT
public:
    // The filter it opens with: an object's, or none for the whole catalogue.
    HistoryWindow(QWidget* parent, const QSqlDatabase& db, const HistoryFilter& filter = {});

    static constexpr int kPageRows = 200;

    // Lists the first page of what the filter fields let through.
    void query();
    // Appends the next page, when the last one was full.
    void fetchMore();

private:
    HistoryFilter filterOfFields() const;

    QSqlDatabase m_db;
    QLineEdit* m_classCode;
    QLineEdit* m_docId;
    QLineEdit* m_user;
    QCheckBox* m_useSince;
    QDateEdit* m_since;
    QCheckBox* m_useUntil;
    QDateEdit* m_until;
    QTreeWidget* m_rows;
    QPushButton* m_more;
    HistoryFilter m_filter;
    qint64 m_lastId = 0;
};

} // namespace zq
