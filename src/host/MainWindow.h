#pragma once

#include <QMainWindow>
#include <QStringList>
#include <QTimer>
#include <functional>

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

    // What one pass of the data-pack cycle came to: the status text, whether it did its job,
    // and (scripted) the frame's tree, one line a node indented by depth, with its tick.
    struct PackOutcome {
        QString text;
        bool done = false;
        QStringList nodes;
    };
    // The data-pack cycle without a person: the frame is shown with the nodes of these labels
    // ticked (every top-level node when none is given) and accepted at once; a picture of its
    // dialog is saved first when asked. Throws when a label names no node or several.
    PackOutcome exportPackTo(const QString& target, const QStringList& ticks,
                             const QString& picture = {});
    PackOutcome importPackFrom(const QString& pack, const QStringList& ticks,
                               const QString& picture = {});
    void refreshDocTree();
    void refreshItems();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildMenus();
    void buildDocks();
    // The catalogue's changes refill the class tree: on PostgreSQL its change notices, on a
    // SQLite file another program's commits, looked for on a cheap timer.
    void followCatalogue();
    void lookAtCatalogue();
    struct FrameDialog;
    // The person's (or the script's) part in a frame dialog: whether to go on with its ticks.
    using FrameChoice = std::function<bool(FrameDialog&)>;
    FrameChoice scriptedChoice(const QStringList& ticks, const QString& picture,
                               QStringList& nodes);
    void viewPackage();
    void exportPackage();
    PackOutcome exportPack(const FrameChoice& choose, const std::function<QString()>& target);
    QString saveTarget();
    QString choosePack();
    void viewPackContents();
    void importPackage();
    PackOutcome importPack(const QString& package, const FrameChoice& choose);
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
    QTimer m_treeRefill; // a burst of notices refills the tree once
    QTimer m_catalogueLook;
    qint64 m_dataVersion = -1; // SQLite
    bool m_listened = false;   // PostgreSQL
};

} // namespace corvane
