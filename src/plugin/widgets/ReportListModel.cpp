#include "widgets/ReportListModel.h"

#include "catalogue/TemplateDocuments.h"
#include "catalogue/TemplateStore.h"
#include "widgets/DialogControls.h"
#include "widgets/Icons.h"
#include "widgets/ListSorting.h"
#include "widgets/TreeNodes.h"

#include <QApplication>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QPalette>
#include <QTreeView>

namespace zq {

QString ReportRow::idText() const {
    return isClass() ? classCode : QString::number(docId);
}

ReportRow templateReportRow(const ListedTemplate& listed) {
    ReportRow row;
    row.caption = listed.record.caption;
    row.memo = listed.record.memo;
    row.className = listed.className;
    row.docId = listed.record.docId;
    row.typeCaption = listed.typeCaption;
    row.filePath = storedFilePath(listed.record.fileName);
    return row;
}

ReportListModel::ReportListModel(QList<ReportField> columns, QStringList headers, QObject* parent)
    : QAbstractTableModel(parent)
    , m_columns(std::move(columns))
    , m_headers(std::move(headers)) {
}

void ReportListModel::setRows(QList<ReportRow> rows) {
    beginResetModel();
    m_rows = std::move(rows);
    endResetModel();
}

void ReportListModel::appendRow(const ReportRow& row) {
    beginInsertRows({}, int(m_rows.size()), int(m_rows.size()));
    m_rows.append(row);
    endInsertRows();
}

int ReportListModel::templateIndex(qint64 docId) const {
    for (qsizetype i = 0; i < m_rows.size(); ++i)
        if (!m_rows[i].isClass() && m_rows[i].docId == docId)
            return int(i);
    return -1;
}

void ReportListModel::removeTemplate(qint64 docId) {
    const int at = templateIndex(docId);
    if (at < 0)
        return;
    beginRemoveRows({}, at, at);
    m_rows.removeAt(at);
    endRemoveRows();
}

void ReportListModel::setTemplateTexts(qint64 docId, const QString& caption, const QString& memo) {
    const int at = templateIndex(docId);
    if (at < 0)
        return;
    m_rows[at].caption = caption;
    m_rows[at].memo = memo;
    emit dataChanged(index(at, 0), index(at, columnCount() - 1));
}

int ReportListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_rows.size());
}

int ReportListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_columns.size());
}

QString ReportListModel::text(const ReportRow& row, ReportField field) const {
    switch (field) {
    case ReportField::Caption:
        return row.caption;
    case ReportField::Memo:
        return row.memo;
    case ReportField::ClassName:
        return row.className;
    case ReportField::Id:
        return row.idText();
    case ReportField::TypeCaption:
        return row.typeCaption;
    case ReportField::FilePath:
        return row.filePath;
    }
    return {};
}

QVariant ReportListModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    const ReportRow& row = m_rows[index.row()];
    const ReportField field = m_columns[index.column()];
    // A missing file greys the texts a person reads, and says why.
    const bool greyed =
        row.missing && (field == ReportField::Caption || field == ReportField::Memo ||
                        field == ReportField::ClassName);
    const int image = row.isClass() ? kClassImage : kTemplateImage;
    switch (role) {
    case Qt::DisplayRole:
        return text(row, field);
    case Qt::DecorationRole: {
        if (index.column() != 0)
            return {};
        static const QIcon missingIcon(imageListIcon(kTemplateImage).pixmap(16, QIcon::Disabled));
        return row.missing ? missingIcon : imageListIcon(image);
    }
    case Qt::ForegroundRole:
        return greyed ? QApplication::palette().brush(QPalette::Disabled, QPalette::Text)
                      : QVariant();
    case Qt::ToolTipRole:
        return greyed ? QStringLiteral("模板文件不存在") : QVariant();
    case kImageRole:
        return index.column() == 0 ? QVariant(image) : QVariant();
    case KindRole:
        return QVariant::fromValue(row.kind);
    case IdRole:
        return row.isClass() ? QVariant(row.classCode) : QVariant(row.docId);
    case FilePathRole:
        return row.filePath;
    case MissingRole:
        return row.missing;
    default:
        return {};
    }
}

QVariant ReportListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    return m_headers.value(section);
}

void ReportListModel::sort(int column, Qt::SortOrder order) {
    if (column < 0 || column >= columnCount())
        return;
    QStringList texts;
    texts.reserve(m_rows.size());
    for (const ReportRow& row : std::as_const(m_rows))
        texts.append(text(row, m_columns[column]));
    const QList<qsizetype> newOrder = reportOrder(texts, order == Qt::AscendingOrder);

    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    QList<ReportRow> sorted;
    sorted.reserve(m_rows.size());
    QList<int> newRow(m_rows.size());
    for (qsizetype i = 0; i < newOrder.size(); ++i) {
        sorted.append(m_rows[newOrder[i]]);
        newRow[newOrder[i]] = int(i);
    }
    m_rows = std::move(sorted);
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex& old : before)
        after.append(index(newRow[old.row()], old.column()));
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

QTreeView* newReportList(ReportListModel* rows) {
    auto* view = new QTreeView;
    rows->setParent(view);
    view->setModel(rows);
    view->setRootIsDecorated(false);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setAllColumnsShowFocus(true);
    view->header()->setSectionsClickable(true);
    keepSelectionVisible(view);
    return view;
}

int selectedRowIndex(const QTreeView* view) {
    const QModelIndexList rows = view->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

} // namespace zq
