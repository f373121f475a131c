#pragma once

#include <QList>
#include <QObject>
#include <array>
#include <functional>
#include <initializer_list>

class QAction;
class QWidget;

namespace zq {

// The manager window's actions. The code reaches them by these values; their object names
// ("ActAddDoc", ...) are only labels, for the host and for tests.
enum class ManagerAction {
    AddTemplate,
    AddClass,
    DeleteClass,
    RenameClass,
    Search,
    Preview,
    First,
    Previous,
    Next,
    Last,
    Refresh,
    DeleteTemplate,
    EditDescription,
    EditTemplate,
    Register,
    Back,
    Forward,
    Up,
    Export,
    Import,
};
constexpr int kManagerActionCount = int(ManagerAction::Import) + 1;

// The window's actions, made once with their captions, icons and keys; an action with keys is
// added to the window, so that they work wherever the focus is inside it.
class ManagerActions {
public:
    explicit ManagerActions(QWidget* window);

    QAction* operator[](ManagerAction which) const { return m_actions[std::size_t(which)]; }
    QList<QAction*> list(std::initializer_list<ManagerAction> which) const;
    // Runs the work when the action is triggered; a failure is shown over the window.
    void bind(ManagerAction which, QObject* receiver, std::function<void()> work) const;

private:
    QWidget* m_window;
    std::array<QAction*, kManagerActionCount> m_actions{};
};

} // namespace zq
