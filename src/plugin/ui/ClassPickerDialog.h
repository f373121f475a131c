#pragma once

#include <QDialog>
#include <QHash>
#include <QSqlDatabase>
#include <functional>

class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace zq {

class ClassTreeState;
struct CatalogueChange;

// The class picker: the class tree of the catalogue (classes only), OK and Cancel. A label
// edited in place changes only the picker's node, never the catalogue. Confirmed untouched it
// answers the root.
class ClassPickerDialog : public QDialog {
    Q_OBJECT
public:
    ClassPickerDialog(QWidget* owner, const QSqlDatabase& db);

    // Nodes whose class code the caller refuses are shown greyed and cannot be chosen; OK stays
    // disabled while such a node (or none) is selected.
    void refuseTargets(const std::function<bool(const QString& code)>& refused);

    QTreeWidget* classTree() const { return m_tree; }
    QTreeWidgetItem* selectedNode() const;
    // The chosen class's code (the empty text for the root) and its path text as the search
    // takes it, built from the labels shown.
    QString selectedCode() const;
    QString selectedPath() const;

private:
    void updateOk();
    // The catalogue's classes as nodes, labels edited here and refused targets applied.
    void fillTree();
    // Another writer's class changes: the tree read again, open nodes, the selection and the
    // labels edited here kept.
    void followChanges(const QList<CatalogueChange>& changes);

    QSqlDatabase m_db;
    QTreeWidget* m_tree;
    QPushButton* m_ok;
    ClassTreeState* m_state = nullptr;
    std::function<bool(const QString& code)> m_refused;
    QHash<QString, QString> m_editedLabels; // by class code
};

} // namespace zq
