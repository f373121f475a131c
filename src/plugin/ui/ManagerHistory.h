#pragma once

#include <QObject>

class QAction;

namespace zq {

class ManagerView;

// What keeps the manager's changes from being lost: the history window ("历史记录" of the
// toolbar for the whole catalogue, of the class and template popup menus for the object
// clicked), a template's versions ("历史版本", of the template popup menu) and the recycle bin
// ("回收站", on the toolbar and the class popup menu).
class ManagerHistory : public QObject {
    Q_OBJECT
public:
    explicit ManagerHistory(ManagerView& view);

private:
    void showCatalogueHistory();
    void showObjectHistory();
    void showVersions();
    void showRecycleBin();

    ManagerView& m_view;
};

} // namespace zq
