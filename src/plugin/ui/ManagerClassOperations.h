#pragma once

#include <QObject>

class QTreeWidgetItem;

namespace zq {

class ManagerView;

// The manager window's work on classes: adding one below the selected class, renaming and
// deleting the class an action on classes works on. The root is never renamed or deleted.
class ManagerClassOperations : public QObject {
public:
    explicit ManagerClassOperations(ManagerView& view);

    void editClassNode(QTreeWidgetItem* node);
    void deleteClassNode(QTreeWidgetItem* node);
    // Deletes the class an action on classes works on.
    void deleteClass();

private:
    void addClass();
    void renameClass();

    ManagerView& m_view;
};

} // namespace zq
