#pragma once

#include "catalogue/TemplateVersions.h"

#include <QDialog>
#include <QSqlDatabase>

class QPushButton;
class QTreeWidget;

namespace zq {

// "历史版本": the earlier bytes of a template's file, newest first (when they were replaced, by
// whom, their size, the projects they were registered with), each to open read-only in the
// host's viewer or to restore as the current file.
class VersionsWindow : public QDialog {
    Q_OBJECT
public:
    VersionsWindow(QWidget* parent, const QSqlDatabase& db, qint64 docId, const QString& caption);

    void openSelected();
    void restoreSelected();

private:
    void fill();
    const TemplateVersion* selected() const;

    QSqlDatabase m_db;
    qint64 m_docId;
    QString m_caption;
    QList<TemplateVersion> m_versions;
    QTreeWidget* m_list;
    QPushButton* m_open;
    QPushButton* m_restore;
};

} // namespace zq
