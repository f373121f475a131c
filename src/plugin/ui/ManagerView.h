#pragma once

#include "ui/ManagerActions.h"

#include <QSqlDatabase>
#include <functional>

class QMenu;
class QToolBar;
class QTreeView;
class QTreeWidget;
class QTreeWidgetItem;
class QWidget;

namespace zq {

class ReportListModel;
struct ReportRow;
class TemplateEditing;

// Columns of the list: the row's caption and its sub-items 1 to 5; the last three are hidden.
enum DocListColumn {
    kColCaption,
    kColMemo,
    kColClassName,
    kColRowId,       // DocID of a template, code of a class
    kColTypeCaption, // the template's type caption
    kColFullPath,    // the stored file's full path
};

// What the manager window offers the helpers that do its jobs (class and template operations,
// moves, packages): its views, actions and popups, and the steps that keep them in step with
// the catalogue.
class ManagerView {
public:
    // The window itself: the owner of the helpers and the parent of their messages.
    virtual QWidget* widget() = 0;
    virtual QTreeWidget* classTree() const = 0;
    virtual QTreeView* docList() const = 0;
    virtual ReportListModel& docRows() const = 0;
    virtual const QSqlDatabase& database() const = 0;
    virtual const ManagerActions& actions() const = 0;
    virtual QMenu* classMenu() const = 0;
    virtual QMenu* docMenu() const = 0;
    virtual QToolBar* toolBar() const = 0;
    // Templates opened from the window or its search.
    virtual TemplateEditing& editing() = 0;

    // The list's selected row, or nullptr; good until the list changes.
    virtual const ReportRow* selectedRow() const = 0;
    virtual QTreeWidgetItem* selectedNode() const = 0;
    // The class an action on classes works on: the selected class row's node, else the node.
    virtual QTreeWidgetItem* classTarget() const = 0;
    // The tree's node of a class row of the list, or nullptr.
    virtual QTreeWidgetItem* findClassNodeOfRow(const ReportRow* row) const = 0;
    // The tree's node of the class code, or none.
    virtual QTreeWidgetItem* classNode(const QString& code) const = 0;
    // Says the text in the window's status line.
    virtual void showStatus(const QString& text) = 0;

    virtual void fillDocList(QTreeWidgetItem* node) = 0;
    virtual void saveTreeState() = 0;
    // Rebuilds the tree with the root selected and expanded one level.
    virtual void loadTree() = 0;
    // After saveTreeState: rebuilds the tree, restores the view and refills the list.
    virtual void reloadKeepingView() = 0;
    // Enables each action for what is selected now.
    virtual void updateActions() = 0;
    // Makes the change just done the one Ctrl+Z undoes ("撤销" + what), in place of the last.
    virtual void setUndo(const QString& what, std::function<void()> undo) = 0;

protected:
    ~ManagerView() = default;
};

} // namespace zq
