#include "widgets/ViewLayout.h"

#include <QEvent>
#include <QHeaderView>
#include <QHelpEvent>
#include <QSettings>
#include <QSplitter>
#include <QTimer>
#include <QToolTip>
#include <QTreeView>

namespace zq {

namespace {

// Sizes a person gave a view, in the host's settings: read when the view is made, written
// back when it goes, once a person changed them.
class PersonalSizes {
public:
    PersonalSizes(const QString& kind, const QString& key)
        : m_key(QStringLiteral("ZQDocTemplateMG/%1/%2").arg(kind, key)) {
        for (const QString& size : QSettings().value(m_key).toStringList())
            m_sizes.append(size.toInt());
    }
    ~PersonalSizes() {
        if (!m_changed)
            return;
        QStringList sizes;
        for (const int size : m_sizes)
            sizes.append(QString::number(size));
        QSettings().setValue(m_key, sizes);
    }
    PersonalSizes(const PersonalSizes&) = delete;
    PersonalSizes& operator=(const PersonalSizes&) = delete;

    const QList<int>& sizes() const { return m_sizes; }
    void set(QList<int> sizes) {
        m_sizes = std::move(sizes);
        m_changed = true;
    }

private:
    QString m_key;
    QList<int> m_sizes;
    bool m_changed = false;
};

// Shows the whole text of a cell that its column or the view's edge cuts short; other cells
// show no tooltip unless they carry one of their own.
class CutOffTips final : public QObject {
public:
    explicit CutOffTips(QTreeView* view)
        : QObject(view)
        , m_view(view) {
        view->viewport()->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* /*watched*/, QEvent* event) override {
        if (event->type() != QEvent::ToolTip)
            return false;
        const auto* help = static_cast<QHelpEvent*>(event);
        const QModelIndex index = m_view->indexAt(help->pos());
        if (!index.isValid() || index.data(Qt::ToolTipRole).isValid())
            return false;
        const QRect cell = m_view->visualRect(index);
        const QRect shown = cell.intersected(m_view->viewport()->rect());
        if (shown.left() == cell.left() && m_view->sizeHintForIndex(index).width() <= shown.width())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), index.data().toString(), m_view->viewport(),
                               shown);
        return true;
    }

private:
    QTreeView* m_view;
};

constexpr int kFitRows = 100;

class ColumnFit final : public QObject {
public:
    ColumnFit(QTreeView* list, int nameColumn, const QString& key)
        : QObject(list)
        , m_list(list)
        , m_name(nameColumn)
        , m_widths(QStringLiteral("columns"), key) {
        QHeaderView* header = list->header();
        header->setSectionResizeMode(QHeaderView::Interactive);
        header->setStretchLastSection(false);
        // The texts of the rows in view and a few more: a list of a class of thousands is
        // fitted as fast as a short one.
        header->setResizeContentsPrecision(kFitRows);
        // A burst of rows or of resizes is fitted once.
        m_refit.setSingleShot(true);
        connect(&m_refit, &QTimer::timeout, this, &ColumnFit::fit);
        const auto refit = [this] { m_refit.start(); };
        connect(list->model(), &QAbstractItemModel::modelReset, this, refit);
        connect(list->model(), &QAbstractItemModel::rowsInserted, this, refit);
        connect(header, &QHeaderView::sectionResized, this, [this, header] {
            if (m_fitting)
                return;
            QList<int> widths;
            for (int column = 0; column < header->count(); ++column)
                widths.append(header->sectionSize(column));
            m_widths.set(widths);
        });
        list->viewport()->installEventFilter(this);
        refit();
    }

protected:
    bool eventFilter(QObject* /*watched*/, QEvent* event) override {
        if (event->type() == QEvent::Resize)
            m_refit.start();
        return false;
    }

private:
    void fit() {
        QHeaderView* header = m_list->header();
        const int room = m_list->viewport()->width();
        const bool personal = m_widths.sizes().size() == header->count();
        const auto wanted = [&](int column, int share) {
            if (personal)
                return m_widths.sizes()[column];
            const QAbstractItemView* view = m_list; // the tree's own hint is protected
            return std::min(
                std::max(view->sizeHintForColumn(column), header->sectionSizeHint(column)), share);
        };
        m_fitting = true;
        int others = 0;
        for (int column = 0; column < header->count(); ++column) {
            if (header->isSectionHidden(column)) {
                // After a reset of the rows the header counts a hidden column's old width in
                // its length again (a needless sideways scroll bar); hiding it anew drops it.
                header->showSection(column);
                header->hideSection(column);
                continue;
            }
            if (column == m_name)
                continue;
            const int width = wanted(column, room / 4);
            header->resizeSection(column, width);
            others += width;
        }
        header->resizeSection(m_name, std::max(wanted(m_name, room / 2), room - others));
        m_fitting = false;
    }

    QTreeView* m_list;
    int m_name;
    PersonalSizes m_widths;
    QTimer m_refit;
    bool m_fitting = false;
};

class SplitterSizes final : public QObject {
public:
    SplitterSizes(QSplitter* splitter, const QString& key)
        : QObject(splitter)
        , m_sizes(QStringLiteral("panes"), key) {
        if (m_sizes.sizes().size() == splitter->count())
            splitter->setSizes(m_sizes.sizes());
        connect(splitter, &QSplitter::splitterMoved, this,
                [this, splitter] { m_sizes.set(splitter->sizes()); });
    }

private:
    PersonalSizes m_sizes;
};

} // namespace

void fitColumns(QTreeView* list, int nameColumn, const QString& key) {
    new ColumnFit(list, nameColumn, key);
    new CutOffTips(list);
}

void rememberSizes(QSplitter* splitter, const QString& key) {
    new SplitterSizes(splitter, key);
}

void showWholeLabels(QTreeView* tree) {
    tree->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    tree->header()->setStretchLastSection(false);
    tree->header()->setResizeContentsPrecision(kFitRows);
    new CutOffTips(tree);
}

} // namespace zq
