#pragma once

#include <QHash>
#include <QSqlDatabase>
#include <QStringList>
#include <QWidget>

class QAction;
class QKeyEvent;
class QMenu;
class QMenuBar;
class QToolBar;
class QTreeWidget;
class QTreeWidgetItem;

namespace zq {

class TemplateEditing;

// Columns of the list: the row's caption and its sub-items 1 to 5; the last three are hidden.
enum DocListColumn {
    kColCaption,
    kColMemo,
    kColClassName,
    kColRowId,       // DocID of a template, code of a class
    kColTypeCaption, // the template's type caption
    kColFullPath,    // the stored file's full path
    kDocListColumns
};

// The manager window: the class tree on the left, what the selected class holds on the right.
class ManagerWindow : public QWidget {
    Q_OBJECT
public:
    ManagerWindow(QWidget* owner, const QSqlDatabase& db);
    ~ManagerWindow() override;

    // An action of the window by its name ("ActAddDoc", ...), or nullptr.
    QAction* action(const QString& name) const;
    QTreeWidget* classTree() const { return m_classTree; }
    QTreeWidget* docList() const { return m_docList; }
    const QSqlDatabase& database() const { return m_db; }

    // Operations the other parts of the window build on.
    void fillDocList(QTreeWidgetItem* node);
    void saveTreeState();
    // Rebuilds the tree with the root selected and expanded one level.
    void loadTree();
    void restoreTreeState();
    // After saveTreeState: rebuilds the tree, restores the view and refills the list.
    void reloadKeepingView();
    QTreeWidgetItem* findClassNodeOfRow(const QTreeWidgetItem* row) const;
    void editClassNode(QTreeWidgetItem* node);
    void deleteClassNode(QTreeWidgetItem* node);
    // Enables each action for what is selected now.
    void updateActions();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void createActions();
    void createMenus();
    void createLayout();
    QTreeWidgetItem* selectedRow() const;
    QTreeWidgetItem* selectedNode() const;
    // The class an action on classes works on: the selected class row's node, else the node.
    QTreeWidgetItem* classTarget() const;
    // The class tree's node of a code (the last in tree order), through a table rebuilt after
    // the tree changes.
    QTreeWidgetItem* classNode(const QString& code) const;
    void sortDocList(int column);
    void openTemplate(const QTreeWidgetItem* row);
    // Sends the store's files that rows name and the catalogue lacks (an older catalogue).
    void uploadStoreFiles();
    void selectRow(int index);

    void onClassTreeCurrentChanged(QTreeWidgetItem* current);
    void onClassTreeClicked();
    bool classTreeMousePress(QMouseEvent* event);
    bool docListMousePress(QMouseEvent* event);
    void openClassTreePopup(QTreeWidgetItem* node, const QPoint& at);
    void openDocListPopup(QTreeWidgetItem* row, const QPoint& at);
    bool viewKeyPress(QTreeWidget* view, QKeyEvent* event);
    void onDocListDoubleClicked();

    void addClass();
    void renameClass();
    void deleteClass();
    void addTemplate();
    void deleteTemplate();
    void editTemplateDescription();
    void openSelectedTemplate();
    void refresh();
    void goUp();
    void selectFirstRow();
    void selectPreviousRow();
    void selectNextRow();
    void selectLastRow();
    void registerSelectedRow();
    void search();

    QSqlDatabase m_db;
    QTreeWidget* m_classTree = nullptr;
    QTreeWidget* m_docList = nullptr;
    QMenuBar* m_menuBar = nullptr;
    QToolBar* m_toolBar = nullptr;
    QMenu* m_classMenu = nullptr;
    QMenu* m_docMenu = nullptr;
    // Templates opened from this window or its search, watched while the window is open.
    TemplateEditing* m_editing = nullptr;

    mutable QHash<QString, QTreeWidgetItem*> m_nodesByCode; // empty until asked for
    // Whether the list was filled (or tried to be) since the last mouse press on the tree: the
    // click that follows the press must not fill it a second time.
    bool m_listFilledSincePress = false;
    QStringList m_expandedCodes;
    QString m_selectedCode;
    int m_sortColumn = -1;
    bool m_sortAscending = true;
};

} // namespace zq
