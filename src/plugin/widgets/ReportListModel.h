#pragma once

#include <QAbstractTableModel>
#include <QList>
#include <QString>

class QTreeView;

namespace zq {

struct ListedTemplate;

enum class RowKind { Class, Template };

// A row of a report list: a class, or a template with its class's name and its type's caption.
struct ReportRow {
    RowKind kind = RowKind::Template;
    QString caption;
    QString memo;
    QString className;    // the template's class; empty for a class row
    QString classCode;    // a class row's class
    qint64 docId = 0;     // a template row's template
    QString typeCaption;  // the template's type caption
    QString filePath;     // the stored file's full path
    bool missing = false; // a template whose stored file is nowhere to be had: greyed

    bool isClass() const { return kind == RowKind::Class; }
    // The class code of a class row, the DocID of a template row.
    QString idText() const;
};

// The row of a template, with the full path of its file in the store (empty for a file name
// that has no place there).
ReportRow templateReportRow(const ListedTemplate& listed);

// What a column of a report list shows.
enum class ReportField { Caption, Memo, ClassName, Id, TypeCaption, FilePath };

// The rows behind a report list. Column 0 carries the image index as an int in Qt::UserRole + 1
// and every column its text, as readers outside the plug-in expect; inside, code reads the
// typed rows (or the typed roles below).
class ReportListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Role {
        KindRole = Qt::UserRole + 2, // RowKind
        IdRole,                      // qint64 DocID, or the class code
        FilePathRole,
        MissingRole,
    };

    // The fields of the columns in order, and the header texts of the first of them.
    ReportListModel(QList<ReportField> columns, QStringList headers, QObject* parent = nullptr);

    const ReportRow& row(int index) const { return m_rows.at(index); }
    void setRows(QList<ReportRow> rows);
    void appendRow(const ReportRow& row);
    // The template's row leaves the list; its texts change. Nothing for a template not listed.
    void removeTemplate(qint64 docId);
    void setTemplateTexts(qint64 docId, const QString& caption, const QString& memo);
    int columnOf(ReportField field) const { return int(m_columns.indexOf(field)); }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    // The order of sortReportRows, keeping the selection on its row.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

private:
    QString text(const ReportRow& row, ReportField field) const;
    int templateIndex(qint64 docId) const;

    QList<ReportField> m_columns;
    QStringList m_headers;
    QList<ReportRow> m_rows;
};

// A view of the rows as a report list: whole rows, one selected at a time, never edited, the
// selection shown also without the focus. The view owns the rows.
QTreeView* newReportList(ReportListModel* rows);

// The index of the view's selected row, or -1.
int selectedRowIndex(const QTreeView* view);

} // namespace zq
