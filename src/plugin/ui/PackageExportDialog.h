#pragma once

#include "exchange/SelectionTree.h"

#include <QDialog>
#include <QSqlDatabase>

class QTreeWidget;
class QTreeWidgetItem;

namespace zq {

// "模板文件导出": the catalogue in a tree with tri-state check boxes; OK writes what is ticked to
// a package file the user chooses.
class PackageExportDialog : public QDialog {
    Q_OBJECT
public:
    enum ExportState { NothingExported, ExportFailed, PackageWritten };

    PackageExportDialog(QWidget* owner, const QSqlDatabase& db);

    QTreeWidget* tree() const { return m_tree; }
    ExportState exportState() const { return m_exportState; }
    // The ticks of the tree's first node as a selection model.
    SelectionNode selection() const;

private:
    void exportPackage();

    QSqlDatabase m_db;
    QTreeWidget* m_tree = nullptr;
    ExportState m_exportState = NothingExported;
};

} // namespace zq
