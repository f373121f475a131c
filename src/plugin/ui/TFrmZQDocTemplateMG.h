#pragma once

#include <QSqlDatabase>
#include <QStringList>
#include <QWidget>

class QAction;
class QMenu;
class QMenuBar;
class QToolBar;
class QTreeWidget;
class QTreeWidgetItem;

namespace zq {

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
class TFrmZQDocTemplateMG : public QWidget {
    Q_OBJECT
public:
    TFrmZQDocTemplateMG(QWidget* owner, const QSqlDatabase& db);

    // An action of the window by its name ("ActAddDoc", ...), or nullptr.
    QAction* action(const QString& name) const;
    QTreeWidget* classTree() const { return tvwOrg; }
    QTreeWidget* docList() const { return lvwLog; }
    const QSqlDatabase& database() const { return m_db; }

    // Operations the other parts of the window build on.
    void FillDocList(QTreeWidgetItem* node);
    void SaveTreeState();
    // Rebuilds the tree with the root selected and expanded one level.
    void LoadTree();
    void RestoreTreeState();
    void SelectClassByCode(const QString& code);
    QTreeWidgetItem* FindClassNodeOfRow(const QTreeWidgetItem* row) const;
    // The selected class as the host reads it: root text, then the class names, "\" between.
    QString GetClassPath() const;
    void EditClassNode(QTreeWidgetItem* node);
    void DeleteClassNode(QTreeWidgetItem* node);
    // Enables each action for what is selected now.
    void updateActions();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createActions();
    void createMenus();
    void createLayout();
    QTreeWidgetItem* selectedRow() const;
    QTreeWidgetItem* selectedNode() const;
    // The class an action on classes works on: the selected class row's node, else the node.
    QTreeWidgetItem* classTarget() const;
    void reloadKeepingView();
    void sortDocList(int column);
    void openTemplate(const QTreeWidgetItem* row);
    void selectRow(int index);

    void tvwOrgChange(QTreeWidgetItem* current);
    void tvwOrgClick();
    bool tvwOrgMouseDown(QMouseEvent* event);
    bool lvwLogMouseDown(QMouseEvent* event);
    void lvwLogDblClick();

    void ActAddClassExecute();
    void ActiEditExecute();
    void ActDeleteExecute();
    void ActAddDocExecute();
    void ActDeleteDocExecute();
    void ActeditDocDesExecute();
    void ActeditDocExecute();
    void ActRefreshExecute();
    void actUPExecute();
    void ActFirstExecute();
    void ActPreviousExecute();
    void ActNextExecute();
    void ActLastExecute();
    void ActRegExecute();

    QSqlDatabase m_db;
    QTreeWidget* tvwOrg = nullptr;
    QTreeWidget* lvwLog = nullptr;
    QMenuBar* TBToolbar1 = nullptr;
    QToolBar* TBToolbar2 = nullptr;
    QMenu* TBPpMenuClass = nullptr;
    QMenu* TBPpMenuDoc = nullptr;

    QStringList FExpandedCodes;
    QString FSelectedCode;
    int m_sortColumn = -1;
    bool m_sortAscending = true;
};

} // namespace zq
