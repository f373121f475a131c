#include "ui/ManagerMoves.h"

#include "catalogue/TemplateDocuments.h"
#include "ui/ClassPickerDialog.h"
#include "ui/ManagerView.h"
#include "widgets/DialogService.h"
#include "widgets/DragPicture.h"
#include "widgets/ReportListModel.h"
#include "widgets/TreeNodes.h"
#include "widgets/UiReferences.h"

#include <QAction>
#include <QApplication>
#include <QDrag>
#include <QDropEvent>
#include <QHeaderView>
#include <QMenu>
#include <QMimeData>
#include <QRubberBand>
#include <QTimer>
#include <QTreeWidget>

namespace zq {

namespace {

// A drag's payload: where it started, what it carries, and the class code or DocID.
const QString kMoveMimeType = QStringLiteral("application/x-zq-catalogue-move");

// The rectangle of the item's whole row, across the columns on show.
QRect rowRect(const QTreeView* view, const QModelIndex& item) {
    const QHeaderView* header = view->header();
    const int first = header->logicalIndexAt(-header->offset());
    const int last = header->logicalIndexAt(header->length() - header->offset() - 1);
    return view->visualRect(item.siblingAtColumn(first)) |
           view->visualRect(item.siblingAtColumn(last));
}

} // namespace

ManagerMoves::ManagerMoves(ManagerView& view)
    : QObject(view.widget())
    , m_view(view)
    , m_tree(view.classTree())
    , m_list(view.docList())
    , m_treeViewport(m_tree->viewport())
    , m_listViewport(m_list->viewport()) {
    QWidget* window = view.widget();
    const auto addAction = [window](const QString& name, const QString& text,
                                    const QKeySequence& shortcut) {
        auto* act = new QAction(text, window);
        act->setObjectName(name);
        act->setShortcut(shortcut);
        act->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        window->addAction(act);
        return act;
    };
    m_moveTo = addAction(QStringLiteral("ActMoveTo"), QStringLiteral("移动到..."),
                         QKeySequence(Qt::CTRL | Qt::Key_M));
    m_undo =
        addAction(QStringLiteral("ActUndoMove"), QStringLiteral("撤销移动"), QKeySequence::Undo);
    connect(m_moveTo, &QAction::triggered, this,
            [this] { guarded(m_view.widget(), [this] { moveSelectedTo(); }); });
    connect(m_undo, &QAction::triggered, this, &ManagerMoves::undoLastMove);
    for (QMenu* popup : {view.classMenu(), view.docMenu()}) {
        popup->addSeparator();
        popup->addActions({m_moveTo, m_undo});
    }
    for (QTreeView* view : {static_cast<QTreeView*>(m_tree), m_list}) {
        connect(view->selectionModel(), &QItemSelectionModel::selectionChanged, this,
                &ManagerMoves::updateActions);
        view->viewport()->setAcceptDrops(true);
        view->viewport()->installEventFilter(this);
    }
    updateActions();
}

QMimeData* ManagerMoves::dragData(const QTreeView* source, const QModelIndex& item) const {
    const bool fromList = source == m_list;
    const ReportRow* row = fromList ? &m_view.docRows().row(item.row()) : nullptr;
    const bool isClass = !row || row->isClass();
    const QString id = row ? row->idText() : nodeClassCode(m_tree->itemFromIndex(item));
    auto* data = new QMimeData;
    data->setData(kMoveMimeType,
                  QStringList{fromList ? QStringLiteral("list") : QStringLiteral("tree"),
                              isClass ? QStringLiteral("class") : QStringLiteral("template"), id}
                      .join('\n')
                      .toUtf8());
    return data;
}

std::optional<ManagerMoves::Dragged> ManagerMoves::draggedOf(const QMimeData* data) {
    if (!data || !data->hasFormat(kMoveMimeType))
        return std::nullopt;
    const QStringList fields = QString::fromUtf8(data->data(kMoveMimeType)).split('\n');
    if (fields.size() != 3)
        return std::nullopt;
    return Dragged{fields[0] == QLatin1String("list"), fields[1] == QLatin1String("class"),
                   fields[2]};
}

std::optional<ManagerMoves::Dragged> ManagerMoves::selectedItem() const {
    if (const ReportRow* row = m_view.selectedRow()) {
        if (row->isClass() && !m_view.findClassNodeOfRow(row))
            return std::nullopt;
        return Dragged{true, row->isClass(), row->idText()};
    }
    const QTreeWidgetItem* node = m_tree->selectedItems().value(0);
    if (!node || !node->parent())
        return std::nullopt; // the root never moves
    return Dragged{false, true, nodeClassCode(node)};
}

std::function<bool(const QString&)> ManagerMoves::targetRule(const Dragged& dragged) const {
    if (dragged.isClass)
        return [code = dragged.id](const QString& target) { return canDropClass(code, target); };
    const std::optional<QString> current =
        templateClassCode(m_view.database(), dragged.id.toLongLong());
    return
        [current](const QString& target) { return current && canDropTemplate(*current, target); };
}

ManagerMoves::Move ManagerMoves::moveOnto(const Dragged& dragged, const QString& targetCode) const {
    if (!targetRule(dragged)(targetCode))
        return {};
    const QSqlDatabase db = m_view.database();
    if (dragged.isClass)
        return [db, code = dragged.id, targetCode] { return moveClassTo(db, code, targetCode); };
    return [db, docId = dragged.id.toLongLong(), targetCode] {
        return moveDocToClass(db, docId, targetCode);
    };
}

// The tree takes drops from both views on any class node; the list takes drops from itself on
// a class row other than the dragged one.
ManagerMoves::Move ManagerMoves::dropMove(QTreeView* view, const QMimeData* data,
                                          const QPoint& position) const {
    // While dragging no message can be answered: a catalogue that cannot be read refuses.
    try {
        return targetMove(view, data, position);
    } catch (const std::exception&) {
        return {};
    }
}

ManagerMoves::Move ManagerMoves::targetMove(QTreeView* view, const QMimeData* data,
                                            const QPoint& position) const {
    const std::optional<Dragged> dragged = draggedOf(data);
    const QModelIndex target = view->indexAt(position);
    if (!dragged || !target.isValid())
        return {};
    if (view == m_tree)
        return moveOnto(*dragged, nodeClassCode(m_tree->itemFromIndex(target)));
    const QTreeWidgetItem* targetNode =
        m_view.findClassNodeOfRow(&m_view.docRows().row(target.row()));
    if (!dragged->fromList || !targetNode)
        return {};
    const QString targetCode = nodeClassCode(targetNode);
    if (dragged->isClass && dragged->id == targetCode)
        return {};
    return moveOnto(*dragged, targetCode);
}

bool ManagerMoves::eventFilter(QObject* watched, QEvent* event) {
    // Compared with the viewports kept at the start: the filter also sees the events of a
    // viewport while its view is being destroyed, when the view can no longer be asked.
    QTreeView* view = watched == m_treeViewport   ? m_tree
                      : watched == m_listViewport ? m_list
                                                  : nullptr;
    if (!view)
        return QObject::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        const bool onItem = mouse->button() == Qt::LeftButton &&
                            view->indexAt(mouse->position().toPoint()).isValid();
        m_pressView = onItem ? view : nullptr;
        m_pressPosition = mouse->position().toPoint();
        return false;
    }
    case QEvent::MouseMove:
        return startDrag(view, static_cast<QMouseEvent*>(event));
    case QEvent::MouseButtonRelease:
        m_pressView = nullptr;
        return false;
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::DragLeave:
    case QEvent::Drop:
        return dragEvent(view, event);
    default:
        return false;
    }
}

bool ManagerMoves::startDrag(QTreeView* view, QMouseEvent* event) {
    if (m_pressView != view || !(event->buttons() & Qt::LeftButton) ||
        (event->position().toPoint() - m_pressPosition).manhattanLength() <
            QApplication::startDragDistance())
        return false;
    m_pressView = nullptr;
    // The dragged item is the selected one; a class row whose class the tree lacks stays put.
    const QModelIndex item = view->selectionModel()->selectedRows().value(0);
    if (!item.isValid() || (view == m_list && !selectedItem()))
        return false;
    auto* drag = new QDrag(view);
    drag->setMimeData(dragData(view, item));
    drag->setPixmap(dragPicture(item.siblingAtColumn(0), view));
    // Beside the cursor, not under it: the class it points at stays readable.
    drag->setHotSpot(QPoint(-16, -8));
    drag->exec(Qt::MoveAction);
    return true;
}

bool ManagerMoves::dragEvent(QTreeView* view, QEvent* event) {
    if (event->type() == QEvent::DragLeave) {
        showTarget(view, {}, false);
        return true;
    }
    auto* drag = static_cast<QDropEvent*>(event);
    if (!draggedOf(drag->mimeData())) {
        drag->ignore();
        return true;
    }
    const QPoint position = drag->position().toPoint();
    const QModelIndex target = view->indexAt(position).siblingAtColumn(0);
    if (event->type() == QEvent::Drop) {
        showTarget(view, {}, false);
        // The drop asks again: the catalogue may have changed while dragging.
        const Move move = dropMove(view, drag->mimeData(), position);
        drag->setDropAction(Qt::MoveAction);
        drag->setAccepted(bool(move));
        // The move runs once the drag is over, so that its messages get the mouse.
        if (move)
            QTimer::singleShot(0, this, [this, move] { runMove(move); });
        return true;
    }
    if (event->type() == QEvent::DragEnter || m_hovered != target || !target.isValid()) {
        m_hovered = target;
        m_hoveredMove = dropMove(view, drag->mimeData(), position);
    }
    // Entering is always accepted, so that every later position gets its own answer.
    drag->setDropAction(Qt::MoveAction);
    drag->setAccepted(event->type() == QEvent::DragEnter || bool(m_hoveredMove));
    showTarget(view, target, bool(m_hoveredMove));
    return true;
}

void ManagerMoves::showTarget(QTreeView* view, const QModelIndex& target, bool accepted) {
    if (!target.isValid() || !accepted) {
        if (m_highlight)
            m_highlight->hide();
        return;
    }
    if (!m_highlight || m_highlight->parentWidget() != view->viewport()) {
        delete m_highlight;
        m_highlight = new QRubberBand(QRubberBand::Rectangle, view->viewport());
    }
    m_highlight->setGeometry(rowRect(view, target));
    m_highlight->show();
}

void ManagerMoves::run(const std::function<void()>& work) {
    m_view.saveTreeState();
    guarded(m_view.widget(), work);
    guarded(m_view.widget(), [this] { m_view.reloadKeepingView(); });
    updateActions();
}

// The keyboard's drop: the class picker offers only the classes a drop would accept.
void ManagerMoves::moveSelectedTo() {
    const std::optional<Dragged> selected = selectedItem();
    if (!selected)
        return;
    ClassPickerDialog picker(application(), m_view.database());
    picker.setWindowTitle(QStringLiteral("移动到"));
    const auto accepts = targetRule(*selected);
    picker.refuseTargets([&accepts](const QString& code) { return !accepts(code); });
    if (dialogs().exec(&picker) != QDialog::Accepted)
        return;
    if (const Move move = moveOnto(*selected, picker.selectedCode()))
        runMove(move);
}

void ManagerMoves::setUndo(const QString& what, std::function<void()> undo) {
    m_lastUndo = std::move(undo);
    m_undo->setText(QStringLiteral("撤销") + what);
    updateActions();
}

void ManagerMoves::runMove(const Move& move) {
    // What can be undone is the last change made; a failed move leaves nothing to undo.
    setUndo(QStringLiteral("移动"), {});
    run([this, move] {
        const CatalogueMove done = move();
        setUndo(QStringLiteral("移动"), [db = m_view.database(), done] { undoMove(db, done); });
    });
}

void ManagerMoves::undoLastMove() {
    if (!m_lastUndo)
        return;
    const std::function<void()> undo = std::exchange(m_lastUndo, {});
    updateActions();
    run(undo);
}

void ManagerMoves::updateActions() {
    m_moveTo->setEnabled(selectedItem().has_value());
    m_undo->setEnabled(bool(m_lastUndo));
}

} // namespace zq
