#pragma once

#include <QObject>

namespace zq {

class ManagerWindow;

// Template packages from the manager window: ActExport collects the catalogue into the export
// dialog, ActImport reads a package into the catalogue and rebuilds the tree.
class ManagerPackages : public QObject {
    Q_OBJECT
public:
    explicit ManagerPackages(ManagerWindow* window);

private:
    void exportPackage();
    void importPackage();

    ManagerWindow* m_window;
};

} // namespace zq
