#pragma once

#include "catalogue/CatalogueChange.h"

#include <QList>
#include <QObject>

namespace zq {

class CatalogueFollower;
class ManagerView;

// Keeps the manager window following the catalogue: other writers' notices are applied in the
// person's view, and a lost or found connection is said in the status line.
class ManagerFollowing : public QObject {
public:
    explicit ManagerFollowing(ManagerView& view);

    // Looks at once for changes of other programs (the window came to the front).
    void checkNow();
    // A rename changes its node; another class change reloads the tree; a template change, only
    // the list of the class shown. The scroll positions and the selected row are kept; a
    // selected template gone is said.
    void apply(const QList<CatalogueChange>& changes);

private:
    // Renamed classes take their new row on their nodes; false when one is not in the tree.
    bool renameClassNodes(const QList<CatalogueChange>& changes);

    ManagerView& m_view;
    CatalogueFollower* m_follower;
};

} // namespace zq
