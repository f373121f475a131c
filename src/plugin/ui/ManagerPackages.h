#pragma once

#include <QObject>

namespace zq {

class ManagerView;

// Template packages from the manager window: ActExport collects the catalogue into the export
// dialog, ActImport reads a package into the catalogue and rebuilds the tree.
class ManagerPackages : public QObject {
    Q_OBJECT
public:
    explicit ManagerPackages(ManagerView& view);

private:
    void exportPackage();
    void importPackage();

    ManagerView& m_view;
};

} // namespace zq
