#pragma once

#include "exchange/Manifest.h"
#include "exchange/SelectionTree.h"

#include <QFrame>
#include <QSqlDatabase>

class QLineEdit;
class QPlainTextEdit;
class QTreeWidget;

namespace zq {

// The catalogue's share in the host's data-pack windows: the selection tree on the left, the
// chosen node's name, type and description on the right. Placed in a container of the host.
class DataPackFrame : public QFrame {
    Q_OBJECT
public:
    explicit DataPackFrame(QWidget* parent);

    QTreeWidget* tree() const { return m_tree; }
    void setDetailVisible(bool visible);
    // Takes the check boxes away: the tree then only shows.
    void removeCheckBoxes();

    // The whole catalogue, root selected and opened; a class's templates join it when it is
    // first opened.
    void showCatalogue(const QSqlDatabase& db);
    // What the package holds, each entry under the class of its code, or at the top level when
    // the package lacks that class. A missing or unreadable package leaves the tree as it is.
    void showPackage(const QString& packagePath);

    // The ticks as a selection model, for writing a package.
    SelectionNode selection() const;
    // The ticked entries in tree order, the root left out, and how many nodes are ticked.
    struct Ticked {
        QList<ManifestEntry> entries;
        int nodes = 0;
    };
    Ticked ticked() const;

private:
    void showDetail();

    QTreeWidget* m_tree;
    QWidget* m_detail;
    QLineEdit* m_name;
    QLineEdit* m_type;
    QPlainTextEdit* m_memo;
    QMetaObject::Connection m_fillOnOpen;
};

} // namespace zq
