#pragma once

#include <QMainWindow>

class QLabel;
class QMdiArea;
class QTreeWidget;

namespace corvane {

class PluginLibrary;

// The host's main window: the application object the plug-in receives, with the document area
// (its screen object), menus that call every export of the plug-in, the class tree that
// GetDocList fills and the data items of the open project.
class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    explicit MainWindow(PluginLibrary& plugin);
    ~MainWindow() override;

    QMdiArea* mdiArea() const { return m_mdiArea; }
    QTreeWidget* docTree() const { return m_docTree; }
    QTreeWidget* itemList() const { return m_itemList; }

    // RunAppEvn with this window and its document area; reports the result in the status bar.
    int runApp(int mode);
    void refreshDocTree();
    void refreshItems();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildMenus();
    void buildDocks();
    void viewPackage();
    void exportPackage();
    QString carryOut(const QString& pack);
    QString choosePack();
    void viewPackContents();
    void importPackage();
    void openProject();
    void report(const QString& text);
    template <typename F> void guarded(F&& work);

    intptr_t application() const;
    intptr_t screen() const;

    PluginLibrary& m_plugin;
    QMdiArea* m_mdiArea;
    QTreeWidget* m_docTree = nullptr;
    QTreeWidget* m_itemList = nullptr;
    QLabel* m_projectLabel = nullptr;
};

} // namespace corvane
