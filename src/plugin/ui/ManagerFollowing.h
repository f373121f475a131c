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
    // A class renamed, added or deleted changes its node in place; another class change
    // reloads the tree; a template change, only the list of the class shown. The scroll positions
    // and the selected row are kept; a selected template gone is said.
    void apply(const QList<CatalogueChange>& changes);

private:
    // Each class renamed or added takes its row on its node, made under its parent's node when
    // new; each class deleted leaves with its branch; template changes leave the tree alone.
    // False when a change cannot be applied so (another class change, a bulk change, or no
    // parent node for a new class): the tree is then read again.
    bool placeClassNodes(const QList<CatalogueChange>& changes);
    bool placeClassNode(const CatalogueChange& change);

    ManagerView& m_view;
    CatalogueFollower* m_follower;
};

} // namespace zq
