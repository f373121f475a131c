#pragma once

#include "catalogue/ClassMoves.h"

#include <QObject>
#include <QPersistentModelIndex>
#include <QPoint>
#include <QPointer>
#include <functional>
#include <optional>

class QAction;
class QMimeData;
class QMouseEvent;
class QRubberBand;
class QTreeView;
class QTreeWidget;
class QWidget;

namespace zq {

class ManagerView;

// Moving templates and classes in the manager window: dragging from the tree or the list onto
// a class of the tree or a class row of the list, "移动到..." with the class picker, and the
// undo (Ctrl+Z) of the last move, or of the last delete or rename the window made. Watches the
// viewports of the window's tree and list.
class ManagerMoves : public QObject {
    Q_OBJECT
public:
    explicit ManagerMoves(ManagerView& view);

    // The change the undo action undoes from now on: the last move, delete or rename.
    void setUndo(const QString& what, std::function<void()> undo);

    // What a drag from the view carries for the item: the tree's class node or the list's row.
    QMimeData* dragData(const QTreeView* source, const QModelIndex& item) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Dragged {
        bool fromList = false;
        bool isClass = false;
        QString id; // class code or DocID
    };
    using Move = std::function<CatalogueMove()>;

    static std::optional<Dragged> draggedOf(const QMimeData* data);
    // The list's selected row, else the tree's selected class.
    std::optional<Dragged> selectedItem() const;
    // Which classes (by code) the item may be filed in.
    std::function<bool(const QString&)> targetRule(const Dragged& dragged) const;
    // The move a drop of the dragged item on the class would make, or none when refused.
    Move moveOnto(const Dragged& dragged, const QString& targetCode) const;
    Move dropMove(QTreeView* view, const QMimeData* data, const QPoint& position) const;
    Move targetMove(QTreeView* view, const QMimeData* data, const QPoint& position) const;
    bool dragEvent(QTreeView* view, QEvent* event);
    bool startDrag(QTreeView* view, QMouseEvent* event);
    void showTarget(QTreeView* view, const QModelIndex& target, bool accepted);
    // Runs the work, shows a failure, and reloads the tree keeping the view.
    void run(const std::function<void()>& work);
    void runMove(const Move& move);
    void moveSelectedTo();
    void undoLastMove();
    void updateActions();

    ManagerView& m_view;
    QTreeWidget* m_tree;
    QTreeView* m_list;
    QWidget* m_treeViewport;
    QWidget* m_listViewport;
    QAction* m_moveTo;
    QAction* m_undo;
    QRubberBand* m_highlight = nullptr;
    // The item under the pointer during a drag and the move a drop there would make.
    QPersistentModelIndex m_hovered;
    Move m_hoveredMove;
    QPoint m_pressPosition;
    QPointer<QTreeView> m_pressView;
    std::function<void()> m_lastUndo;
};

} // namespace zq
