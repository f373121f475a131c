#pragma once

#include <QDialog>
#include <QList>
#include <QSqlDatabase>

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTreeView;

namespace zq {

class ReportListModel;
struct SearchCriteria;
class TemplateEditing;

// Columns of the result list: the DocID, then sub-items 1 to 5; the full path is not shown.
enum SearchResultColumn {
    kResultDocId,
    kResultCaption,
    kResultMemo,
    kResultClassName,
    kResultTypeCaption,
    kResultFullPath,
};

// The search dialog: finds templates by name (also as pinyin), data type and class, exactly
// or fuzzily, optionally within the previous results, and opens or deletes them from the list.
class SearchDialog : public QDialog {
    Q_OBJECT
public:
    // Templates open for editing through the manager's `editing`, which outlives the search.
    SearchDialog(QWidget* owner, const QSqlDatabase& db, TemplateEditing& editing);

    // Puts a class path into the class field and ticks the class criterion when it is not
    // empty.
    void setClassPath(const QString& path);
    QAction* action(const QString& name) const;
    QTreeView* resultList() const { return m_results; }
    // The DocID of every result row, in the order the rows were added.
    const QList<qint64>& lastResultIds() const { return m_lastResultIds; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void createCriteria();
    void createResults();
    void createResultList();
    void fillTypeList();
    SearchCriteria criteria() const;
    void chooseClass();
    void search();
    void openSelected();
    void deleteSelected();
    void sortResults(int column);
    void updateActions();
    // Another writer's changes: the result rows read again, in their order, the selection kept.
    void followChanges();

    QSqlDatabase m_db;
    TemplateEditing& m_editing;
    QCheckBox* m_byName = nullptr;
    QLineEdit* m_name = nullptr;
    QCheckBox* m_byType = nullptr;
    QComboBox* m_type = nullptr;
    QCheckBox* m_byClass = nullptr;
    QLineEdit* m_classPath = nullptr;
    QPushButton* m_browse = nullptr;
    QRadioButton* m_exact = nullptr;
    QCheckBox* m_withinLast = nullptr;
    QPushButton* m_searchButton = nullptr;
    QTreeView* m_results = nullptr;
    ReportListModel* m_resultRows = nullptr;
    QAction* m_open = nullptr;
    QAction* m_remove = nullptr;
    QLabel* m_status = nullptr;

    QList<qint64> m_lastResultIds;
    int m_sortColumn = -1;
    bool m_sortAscending = true;
};

} // namespace zq
