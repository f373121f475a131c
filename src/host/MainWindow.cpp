#include "MainWindow.h"

#include "Archive.h"
#include "HostCore.h"
#include "PluginLibrary.h"
#include "ProjectStore.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QDockWidget>
#include <QEvent>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QScopeGuard>
#include <QSet>
#include <QSqlDriver>
#include <QSqlQuery>
#include <QStatusBar>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QUrl>
#include <QVBoxLayout>
#include <cstdlib>

namespace corvane {

namespace {

// The data kind of the template catalogue's share in the data pack.
constexpr int32_t kTemplateDataKind = 101;

// The status after RunAppEvn: the window that opened, or how many templates a registration
// dialog gave the project.
QString appOutcome(int mode, int result, qsizetype registered) {
    if (result < 0)
        return QStringLiteral("文档模板插件未能打开窗口。");
    if (mode == 1)
        return QStringLiteral("已打开文档模板管理。");
    if (mode != 2 && mode != 3)
        return {};
    return registered > 0 ? QStringLiteral("已向项目注册 %1 个模板。").arg(registered)
                          : QStringLiteral("没有注册模板。");
}

// The frame's tree, one line a node: indented by depth, then its tick when it has a box.
QStringList treeLines(const QTreeWidget* tree) {
    QStringList lines;
    for (QTreeWidgetItemIterator it(const_cast<QTreeWidget*>(tree)); *it; ++it) {
        qsizetype depth = 0;
        for (const QTreeWidgetItem* up = (*it)->parent(); up; up = up->parent())
            ++depth;
        QString line = QString(depth * 2, QLatin1Char(' ')) + (*it)->text(0);
        if ((*it)->data(0, Qt::CheckStateRole).isValid())
            line += (*it)->checkState(0) == Qt::Checked     ? QStringLiteral(" [x]")
                    : (*it)->checkState(0) == Qt::Unchecked ? QStringLiteral(" [ ]")
                                                            : QStringLiteral(" [-]");
        lines.append(line);
    }
    return lines;
}

bool userAccepts(QDialog& dialog) {
    return dialog.exec() == QDialog::Accepted;
}

} // namespace

// A dialog whose empty area holds the plug-in's selection frame.
struct MainWindow::FrameDialog {
    QDialog dialog;
    QWidget* container;

    FrameDialog(QWidget* parent, const QString& title)
        : dialog(parent)
        , container(new QWidget(&dialog)) {
        dialog.setWindowTitle(title);
        dialog.resize(700, 460);
        auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
        QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
        QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
        auto* layout = new QVBoxLayout(&dialog);
        layout->addWidget(container, 1);
        layout->addWidget(buttons);
    }
};

MainWindow::MainWindow(PluginLibrary& plugin)
    : m_plugin(plugin)
    , m_mdiArea(new QMdiArea(this)) {
    setObjectName(QStringLiteral("CorvaneMainWindow"));
    setWindowTitle(QStringLiteral("审计作业平台（演示）"));
    m_mdiArea->setObjectName(QStringLiteral("mdiArea"));
    setCentralWidget(m_mdiArea);
    m_projectLabel = new QLabel(this);
    statusBar()->addPermanentWidget(m_projectLabel);
    buildMenus();
    buildDocks();
    resize(1100, 720);
    setProjectChangedListener([this] { refreshItems(); });
    followCatalogue();
    refreshDocTree();
    refreshItems();
}

MainWindow::~MainWindow() {
    setProjectChangedListener({});
    // The document area activates its remaining windows while it is destroyed, after this part
    // of the object is gone.
    m_mdiArea->disconnect(this);
}

intptr_t MainWindow::application() const {
    return reinterpret_cast<intptr_t>(this);
}

intptr_t MainWindow::screen() const {
    return reinterpret_cast<intptr_t>(m_mdiArea);
}

template <typename F> void MainWindow::guarded(F&& work) {
    try {
        work();
    } catch (const std::exception& e) {
        QMessageBox::critical(this, windowTitle(), QString::fromLocal8Bit(e.what()));
    }
}

void MainWindow::buildMenus() {
    QMenu* file = menuBar()->addMenu(QStringLiteral("文件(&F)"));
    file->addAction(QStringLiteral("打开项目(&O)…"), QKeySequence::Open, this,
                    [this] { guarded([&] { openProject(); }); });
    file->addAction(QStringLiteral("关闭项目(&C)"), this,
                    [this] { guarded([&] { setProjectSerial(QString()); }); });
    file->addSeparator();
    file->addAction(QStringLiteral("退出(&X)"), QKeySequence::Quit, this, &QWidget::close);

    QMenu* templates = menuBar()->addMenu(QStringLiteral("模板(&T)"));
    templates->addAction(QStringLiteral("文档模板管理(&M)"), this, [this] { runApp(1); });
    templates->addAction(QStringLiteral("注册文档模板(&R)"), this, [this] { runApp(2); });
    templates->addAction(QStringLiteral("批量注册系统模板(&B)"), this, [this] { runApp(3); });

    QMenu* package = menuBar()->addMenu(QStringLiteral("数据包(&P)"));
    package->addAction(QStringLiteral("预览模板数据包(&V)"), this,
                       [this] { guarded([&] { viewPackage(); }); });
    package->addAction(QStringLiteral("导出模板数据包(&E)…"), this,
                       [this] { guarded([&] { exportPackage(); }); });
    package->addAction(QStringLiteral("查看模板数据包内容(&C)…"), this,
                       [this] { guarded([&] { viewPackContents(); }); });
    package->addAction(QStringLiteral("导入模板数据包(&I)…"), this,
                       [this] { guarded([&] { importPackage(); }); });

    QMenu* windows = menuBar()->addMenu(QStringLiteral("窗口(&W)"));
    windows->addAction(QStringLiteral("层叠(&C)"), m_mdiArea, &QMdiArea::cascadeSubWindows);
    windows->addAction(QStringLiteral("平铺(&T)"), m_mdiArea, &QMdiArea::tileSubWindows);
    windows->addAction(QStringLiteral("关闭全部(&A)"), m_mdiArea, &QMdiArea::closeAllSubWindows);

    // F10 opens the first menu; Alt alone already puts the focus on the bar.
    auto* openMenuBar = new QAction(this);
    openMenuBar->setShortcut(Qt::Key_F10);
    connect(openMenuBar, &QAction::triggered, this,
            [this] { menuBar()->setActiveAction(menuBar()->actions().constFirst()); });
    addAction(openMenuBar);
}

void MainWindow::buildDocks() {
    m_docTree = new QTreeWidget;
    m_docTree->setObjectName(QStringLiteral("docTree"));
    m_docTree->setHeaderHidden(true);
    m_docTree->setContextMenuPolicy(Qt::ActionsContextMenu);
    auto* refreshTree = new QAction(QStringLiteral("刷新模板分类(&R)"), m_docTree);
    connect(refreshTree, &QAction::triggered, this, &MainWindow::refreshDocTree);
    m_docTree->addAction(refreshTree);
    // The manager window changes the catalogue behind the tree's back: the tree reads it again
    // when it gets the focus and when another document window comes to the front.
    m_docTree->installEventFilter(this);
    connect(m_mdiArea, &QMdiArea::subWindowActivated, this, &MainWindow::refreshDocTree);
    auto* treeDock = new QDockWidget(QStringLiteral("模板分类"), this);
    treeDock->setObjectName(QStringLiteral("docTreeDock"));
    treeDock->setWidget(m_docTree);
    addDockWidget(Qt::LeftDockWidgetArea, treeDock);

    m_itemList = new QTreeWidget;
    m_itemList->setObjectName(QStringLiteral("projectItems"));
    m_itemList->setHeaderLabels({QStringLiteral("编号"), QStringLiteral("标题"),
                                 QStringLiteral("类型"), QStringLiteral("说明"),
                                 QStringLiteral("文件")});
    m_itemList->setRootIsDecorated(false);
    m_itemList->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    connect(m_itemList, &QTreeWidget::itemDoubleClicked, this, [](QTreeWidgetItem* item) {
        QDesktopServices::openUrl(QUrl::fromLocalFile(item->text(4)));
    });
    auto* itemDock = new QDockWidget(QStringLiteral("项目数据项"), this);
    itemDock->setObjectName(QStringLiteral("projectItemsDock"));
    itemDock->setWidget(m_itemList);
    addDockWidget(Qt::BottomDockWidgetArea, itemDock);

    QMenu* view = menuBar()->addMenu(QStringLiteral("视图(&V)"));
    // The docks' titles stay without the mnemonic; their menu entries carry one.
    treeDock->toggleViewAction()->setText(QStringLiteral("模板分类(&L)"));
    itemDock->toggleViewAction()->setText(QStringLiteral("项目数据项(&D)"));
    view->addAction(treeDock->toggleViewAction());
    view->addAction(itemDock->toggleViewAction());
    view->addAction(refreshTree);
}

int MainWindow::runApp(int mode) {
    const int items = m_itemList->topLevelItemCount();
    const int result = m_plugin.RunAppEvn(0, application(), screen(), 0, mode, 0, 0);
    refreshItems();
    report(appOutcome(mode, result, m_itemList->topLevelItemCount() - items));
    return result;
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_docTree && event->type() == QEvent::FocusIn)
        refreshDocTree();
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::followCatalogue() {
    m_treeRefill.setSingleShot(true);
    m_treeRefill.setInterval(60);
    connect(&m_treeRefill, &QTimer::timeout, this, &MainWindow::refreshDocTree);
    connect(hostDatabase().driver(), &QSqlDriver::notification, this,
            [this](const QString& channel) {
                if (channel == QLatin1String(kCatalogueChannel))
                    m_treeRefill.start();
            });
    connect(&m_catalogueLook, &QTimer::timeout, this, &MainWindow::lookAtCatalogue);
    m_catalogueLook.start(1000);
    lookAtCatalogue();
}

// PostgreSQL: listens on the channel, again after the connection was opened again (which
// forgets it), and refills then, the notices sent meanwhile being lost. SQLite: the file's
// data version moves with another connection's commits only.
void MainWindow::lookAtCatalogue() {
    QSqlDatabase& db = hostDatabase();
    if (!db.isOpen())
        return;
    QSqlDriver* driver = db.driver();
    if (driver->dbmsType() == QSqlDriver::PostgreSQL) {
        const QString channel = QString::fromLatin1(kCatalogueChannel);
        if (driver->subscribedToNotifications().contains(channel))
            return;
        if (driver->subscribeToNotification(channel)) {
            if (m_listened)
                m_treeRefill.start();
            m_listened = true;
        }
        return;
    }
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("pragma data_version")) || !query.next())
        return;
    const qint64 version = query.value(0).toLongLong();
    if (m_dataVersion >= 0 && version != m_dataVersion)
        m_treeRefill.start();
    m_dataVersion = version;
}

// Reads the tree again, keeping open what was open and the current node, by class code.
void MainWindow::refreshDocTree() {
    const auto codeOf = [](const QTreeWidgetItem* item) {
        return item->data(0, Qt::UserRole).toStringList().value(0);
    };
    QSet<QString> expanded;
    for (QTreeWidgetItemIterator it(m_docTree); *it; ++it)
        if ((*it)->isExpanded())
            expanded.insert(codeOf(*it));
    const QString current = m_docTree->currentItem() ? codeOf(m_docTree->currentItem()) : QString();
    m_plugin.GetDocList(m_docTree);
    if (QTreeWidgetItem* root = m_docTree->topLevelItem(0))
        root->setExpanded(true);
    for (QTreeWidgetItemIterator it(m_docTree); *it; ++it) {
        if (expanded.contains(codeOf(*it)))
            (*it)->setExpanded(true);
        if (!current.isEmpty() && codeOf(*it) == current)
            m_docTree->setCurrentItem(*it);
    }
}

void MainWindow::refreshItems() {
    const QString serial = projectSerial();
    m_projectLabel->setText(serial.isEmpty() ? QStringLiteral("当前项目：（未打开）")
                                             : QStringLiteral("当前项目：%1").arg(serial));
    m_itemList->clear();
    guarded([&] {
        for (const DataItem& item : projectItems())
            new QTreeWidgetItem(m_itemList, {QString::number(item.id), item.title, item.type,
                                             item.memo, item.filePath});
    });
}

void MainWindow::viewPackage() {
    const int result = m_plugin.ZQPackage_View(application(), screen(), 0, kTemplateDataKind);
    report(result < 0 ? QStringLiteral("无法预览模板数据包。") : QString());
}

void MainWindow::exportPackage() {
    report(exportPack([](FrameDialog& frame) { return userAccepts(frame.dialog); },
                      [this] { return saveTarget(); })
               .text);
}

MainWindow::PackOutcome MainWindow::exportPack(const FrameChoice& choose,
                                               const std::function<QString()>& target) {
    FrameDialog frame(this, QStringLiteral("导出模板数据包"));
    const auto free = qScopeGuard(
        [this] { m_plugin.ZQPackage_Free(application(), screen(), 0, kTemplateDataKind, 1); });
    const int proc = m_plugin.ZQPackage_ExportProc(application(), screen(), 0, kTemplateDataKind,
                                                   reinterpret_cast<intptr_t>(frame.container));
    if (proc < 0)
        return {QStringLiteral("无法列出可导出的模板。"), false, {}};
    if (!choose(frame))
        return {QStringLiteral("已取消导出。"), false, {}};
    char* packPath = nullptr;
    m_plugin.ZQPackage_Export(application(), screen(), 0, kTemplateDataKind, &packPath);
    const QString pack = fromHost(packPath);
    std::free(packPath);
    if (pack == QLatin1String("-2"))
        return {QStringLiteral("没有勾选任何模板，未生成数据包。"), false, {}};
    if (pack.isEmpty())
        return {QStringLiteral("模板数据包导出失败。"), false, {}};
    // The host's whole data pack is this one share: "DocMod.Pck" is copied out as it is.
    const QString copy = target();
    if (copy.isEmpty())
        return {QStringLiteral("模板数据包已生成：%1（未另存）").arg(pack), false, {}};
    QFile::remove(copy);
    if (!QFile::copy(pack, copy))
        throw std::runtime_error("cannot copy the data pack to " + copy.toStdString());
    return {QStringLiteral("模板数据包已保存：%1").arg(copy), true, {}};
}

MainWindow::PackOutcome MainWindow::exportPackTo(const QString& target, const QStringList& ticks,
                                                 const QString& picture) {
    QStringList nodes;
    PackOutcome outcome =
        exportPack(scriptedChoice(ticks, picture, nodes), [&target] { return target; });
    outcome.nodes = nodes;
    return outcome;
}

// Shown, ticked, pictured when asked, and accepted without waiting for anyone.
MainWindow::FrameChoice MainWindow::scriptedChoice(const QStringList& ticks, const QString& picture,
                                                   QStringList& nodes) {
    return [&ticks, &picture, &nodes](FrameDialog& frame) {
        auto* tree = frame.container->findChild<QTreeWidget*>(QStringLiteral("cktreeDocTemp"));
        if (!tree)
            throw std::runtime_error("the plug-in placed no selection tree");
        // Every node opened before the ticks: a class shows its templates once it is opened.
        tree->expandAll();
        for (const QString& label : ticks) {
            const auto found = tree->findItems(label, Qt::MatchExactly | Qt::MatchRecursive);
            if (found.size() != 1)
                throw std::runtime_error(
                    QStringLiteral("%1 个节点名为“%2”").arg(found.size()).arg(label).toStdString());
            found.first()->setCheckState(0, Qt::Checked);
            tree->setCurrentItem(found.first());
        }
        for (int i = 0; ticks.isEmpty() && i < tree->topLevelItemCount(); ++i)
            tree->topLevelItem(i)->setCheckState(0, Qt::Checked);
        nodes = treeLines(tree);
        frame.dialog.show();
        QCoreApplication::processEvents();
        if (!picture.isEmpty() && !frame.dialog.grab().save(picture, "PNG"))
            throw std::runtime_error("cannot save " + picture.toStdString());
        frame.dialog.accept();
        return true;
    };
}

QString MainWindow::saveTarget() {
    return QFileDialog::getSaveFileName(this, QStringLiteral("保存模板数据包"),
                                        QDir::home().filePath(QStringLiteral("模板数据包.Pck")),
                                        QStringLiteral("模板数据包 (*.Pck *.pck)"));
}

QString MainWindow::choosePack() {
    return QFileDialog::getOpenFileName(this, QStringLiteral("选择模板数据包"), QString(),
                                        QStringLiteral("模板数据包 (*.Pck *.pck);;所有文件 (*)"));
}

// "@&@" before the path asks the plug-in to show the pack without check boxes.
void MainWindow::viewPackContents() {
    const QString package = choosePack();
    if (package.isEmpty())
        return;
    FrameDialog frame(this, QStringLiteral("模板数据包内容"));
    const auto free = qScopeGuard(
        [this] { m_plugin.ZQPackage_Free(application(), screen(), 0, kTemplateDataKind, 1); });
    const QByteArray packBytes = hostBytes(QStringLiteral("@&@") + package);
    const int proc = m_plugin.ZQPackage_ImportProc(application(), screen(), 0, kTemplateDataKind,
                                                   packBytes.constData(),
                                                   reinterpret_cast<intptr_t>(frame.container));
    if (proc >= 0)
        frame.dialog.exec();
    report(proc < 0 ? QStringLiteral("无法读取模板数据包：%1").arg(package) : QString());
}

void MainWindow::importPackage() {
    const QString package = choosePack();
    if (!package.isEmpty())
        report(
            importPack(package, [](FrameDialog& frame) { return userAccepts(frame.dialog); }).text);
}

MainWindow::PackOutcome MainWindow::importPack(const QString& package, const FrameChoice& choose) {
    // The plug-in takes the templates from the data-pack folder below the temporary folder:
    // the host unpacks the pack there before showing it.
    const QString packFolder = tempFolder() + QStringLiteral("~DocMod/");
    if (!QDir().mkpath(packFolder))
        throw std::runtime_error("cannot make " + packFolder.toStdString());
    extractArchive(package, packFolder);
    const QByteArray packBytes = hostBytes(package);
    FrameDialog frame(this, QStringLiteral("导入模板数据包"));
    const auto free = qScopeGuard(
        [this] { m_plugin.ZQPackage_Free(application(), screen(), 0, kTemplateDataKind, 1); });
    const int proc = m_plugin.ZQPackage_ImportProc(application(), screen(), 0, kTemplateDataKind,
                                                   packBytes.constData(),
                                                   reinterpret_cast<intptr_t>(frame.container));
    if (proc < 0)
        return {QStringLiteral("无法读取模板数据包：%1").arg(package), false, {}};
    if (!choose(frame))
        return {QStringLiteral("已取消导入。"), false, {}};
    const int imported = m_plugin.ZQPackage_Import(application(), screen(), 0, kTemplateDataKind,
                                                   packBytes.constData());
    refreshDocTree();
    const QString text = imported == 1    ? QStringLiteral("模板数据包已导入。")
                         : imported == -2 ? QStringLiteral("没有勾选任何模板，未导入。")
                                          : QStringLiteral("模板数据包未能导入。");
    return {text, imported == 1, {}};
}

MainWindow::PackOutcome MainWindow::importPackFrom(const QString& pack, const QStringList& ticks,
                                                   const QString& picture) {
    QStringList nodes;
    PackOutcome outcome = importPack(pack, scriptedChoice(ticks, picture, nodes));
    outcome.nodes = nodes;
    return outcome;
}

void MainWindow::openProject() {
    bool ok = false;
    const QString serial = QInputDialog::getText(this, windowTitle(), QStringLiteral("项目编号："),
                                                 QLineEdit::Normal, projectSerial(), &ok);
    if (ok)
        setProjectSerial(serial.trimmed());
}

void MainWindow::report(const QString& text) {
    statusBar()->showMessage(text);
}

} // namespace corvane
