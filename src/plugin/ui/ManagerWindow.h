#pragma once

#include "ui/ManagerActions.h"
#include "ui/ManagerView.h"

#include <QSqlDatabase>
#include <QWidget>

class QKeyEvent;
class QLabel;
class QMenuBar;
class QMouseEvent;
class QModelIndex;
class QToolBar;

namespace zq {

struct CatalogueChange;
class ClassTreeState;
class ManagerClassOperations;
class ManagerFollowing;
class ManagerMoves;
class ManagerTemplateOperations;

// The manager window: the class tree on the left, what the selected class holds on the right.
// Its work on classes, templates, moves and packages is done by helpers that see it as a
// ManagerView; it keeps the views, their events and the navigation.
class ManagerWindow : public QWidget, public ManagerView {
    Q_OBJECT
public:
    ManagerWindow(QWidget* owner, const QSqlDatabase& db);

    QAction* action(ManagerAction which) const { return m_actions[which]; }
    ManagerClassOperations& classOperations() const { return *m_classes; }

    QWidget* widget() override { return this; }
    QTreeWidget* classTree() const override { return m_classTree; }
    QTreeView* docList() const override { return m_docList; }
    ReportListModel& docRows() const override { return *m_docRows; }
    const QSqlDatabase& database() const override { return m_db; }
    const ManagerActions& actions() const override { return m_actions; }
    QMenu* classMenu() const override { return m_classMenu; }
    QMenu* docMenu() const override { return m_docMenu; }
    QToolBar* toolBar() const override { return m_toolBar; }
    TemplateEditing& editing() override { return *m_editing; }
    const ReportRow* selectedRow() const override;
    QTreeWidgetItem* selectedNode() const override;
    QTreeWidgetItem* classTarget() const override;
    QTreeWidgetItem* findClassNodeOfRow(const ReportRow* row) const override;
    void fillDocList(QTreeWidgetItem* node) override;
    void saveTreeState() override;
    void loadTree() override;
    void reloadKeepingView() override;
    void updateActions() override;
    void setUndo(const QString& what, std::function<void()> undo) override;
    QTreeWidgetItem* classNode(const QString& code) const override;
    void showStatus(const QString& text) override;
    // What the window does with a burst of notices of other writers: reads again what they
    // touched, keeping the view.
    void applyChanges(const QList<CatalogueChange>& changes);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void bindActions();
    void createMenus();
    void createViews();
    void createLayout();
    void connectViews();
    void sortDocList(int column);
    void selectRow(int index);

    void onClassTreeCurrentChanged(QTreeWidgetItem* current);
    void onClassTreeClicked();
    bool classTreeMousePress(QMouseEvent* event);
    bool docListMousePress(QMouseEvent* event);
    void openClassTreePopup(QTreeWidgetItem* node, const QPoint& at);
    void openDocListPopup(const QModelIndex& row, const QPoint& at);
    bool viewKeyPress(QTreeView* view, QKeyEvent* event);
    void onDocListDoubleClicked();

    void refresh();
    void goUp();
    void selectFirstRow();
    void selectPreviousRow();
    void selectNextRow();
    void selectLastRow();
    void search();

    QSqlDatabase m_db;
    ManagerActions m_actions;
    QTreeWidget* m_classTree = nullptr;
    QTreeView* m_docList = nullptr;
    ReportListModel* m_docRows = nullptr;
    QMenuBar* m_menuBar = nullptr;
    QToolBar* m_toolBar = nullptr;
    QLabel* m_status = nullptr;
    ManagerFollowing* m_following = nullptr;
    QMenu* m_classMenu = nullptr;
    QMenu* m_docMenu = nullptr;
    ClassTreeState* m_treeState = nullptr;
    // Templates opened from this window or its search, watched while the window is open.
    TemplateEditing* m_editing = nullptr;
    ManagerMoves* m_moves = nullptr;
    ManagerClassOperations* m_classes = nullptr;
    ManagerTemplateOperations* m_templates = nullptr;
    // Whether the list was filled (or tried to be) since the last mouse press on the tree: the
    // click that follows the press must not fill it a second time.
    bool m_listFilledSincePress = false;
    int m_sortColumn = -1;
    bool m_sortAscending = true;
};

} // namespace zq
