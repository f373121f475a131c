#pragma once

#include <QObject>

class QAction;

namespace zq {

class ManagerView;

// The history window from the manager: "历史记录" of the toolbar for the whole catalogue, and of
// the class and template popup menus for the object clicked.
class ManagerHistory : public QObject {
    Q_OBJECT
public:
    explicit ManagerHistory(ManagerView& view);

private:
    void showCatalogueHistory();
    void showObjectHistory();

    ManagerView& m_view;
};

} // namespace zq
