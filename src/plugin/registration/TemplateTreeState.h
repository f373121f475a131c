#pragma once

#include <QHash>
#include <QSet>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

class QLabel;
class QWidget;
class QTreeWidget;
class QTreeWidgetItem;

namespace zq {

// A registration tree's view across a refill from the catalogue: the open classes, the classes
// whose templates were read, the selected node and every tick, each node known by its class
// code or DocID.
class TemplateTreeState {
public:
    void save(const QTreeWidget* tree);
    // Gives false when the selected node is a template gone from the catalogue; its class, or
    // the nearest one above still there, is selected instead.
    bool restore(QTreeWidget* tree, const QSqlDatabase& db) const;

private:
    QStringList m_open;
    QStringList m_filled;
    QHash<QString, int> m_checks; // by key: a template's tick, a pending class's own tick
    QString m_selected;
    QString m_selectedClass;
    int m_scroll = 0;
};

enum class TemplateTreeChecks;

// Keeps a registration dialog's tree following the catalogue: each burst of other writers'
// changes fills it again in the person's view; a selected template gone and the connection's
// state are said in the status line.
void followCatalogue(QWidget* dialog, QTreeWidget* tree, QLabel* status, const QSqlDatabase& db,
                     TemplateTreeChecks checks);

} // namespace zq
