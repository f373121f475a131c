// The plug-in loaded by name into the stand-in host, its exports called from the host's main
// window, and what it asked of the host read back from the call log.

#include "HostCore.h"
#include "MainWindow.h"
#include "OpenTree.h"
#include "PluginLibrary.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QScopeGuard>
#include <QSet>
#include <QSqlQuery>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>
#include <memory>

class TstHostPlugin : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    std::unique_ptr<corvane::PluginLibrary> m_plugin;
    std::unique_ptr<corvane::MainWindow> m_window;

    QString logPath() const { return m_dir.filePath(QStringLiteral("calls.jsonl")); }

    // The calls of the call log, in order; a line that is not a call object is reported as
    // one with the operation "<malformed line>".
    QList<QJsonObject> loggedCalls() {
        QList<QJsonObject> calls;
        QFile log(logPath());
        if (!log.open(QIODevice::ReadOnly))
            return calls;
        while (!log.atEnd()) {
            const QJsonObject call = QJsonDocument::fromJson(log.readLine()).object();
            const bool wellFormed = call.value(QStringLiteral("op")).isString() &&
                                    call.value(QStringLiteral("args")).isArray() &&
                                    call.contains(QStringLiteral("result"));
            calls.append(wellFormed ? call
                                    : QJsonObject{{QStringLiteral("op"), "<malformed line>"}});
        }
        return calls;
    }

    QStringList loggedOperations() {
        QStringList operations;
        for (const QJsonObject& call : loggedCalls())
            operations.append(call.value(QStringLiteral("op")).toString());
        return operations;
    }

private slots:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        qputenv("CORVANE_CALL_LOG", QFile::encodeName(logPath()));
        corvane::HostOptions options;
        options.database = m_dir.filePath(QStringLiteral("corvane.db"));
        options.dataFolder = m_dir.filePath(QStringLiteral("data"));
        corvane::startHost(options);
        m_plugin = std::make_unique<corvane::PluginLibrary>();
        m_window = std::make_unique<corvane::MainWindow>(*m_plugin);
        m_window->show();
    }

    // The window goes before the library whose code its plug-in children run.
    void cleanupTestCase() {
        m_window.reset();
        m_plugin.reset();
        corvane::stopHost();
    }

    // GetDocList filled the host's tree at start from the demo catalogue: the root, the
    // classes at their depth, each with its class record.
    void docListFillsHostTree() {
        QTreeWidget* tree = m_window->docTree();
        QCOMPARE(tree->topLevelItemCount(), 1);
        QTreeWidgetItem* root = tree->topLevelItem(0);
        QCOMPARE(root->text(0), QStringLiteral("文档模板分类信息"));
        QCOMPARE(root->childCount(), 3);
        QTreeWidgetItem* plan = root->child(0);
        QCOMPARE(plan->text(0), QStringLiteral("审计计划"));
        QCOMPARE(plan->data(0, Qt::UserRole).toStringList(),
                 QStringList({QStringLiteral("0001"), QStringLiteral("审计计划"),
                              QStringLiteral("计划阶段使用的文书")}));
        QCOMPARE(plan->childCount(), 2);
        QCOMPARE(plan->child(1)->text(0), QStringLiteral("风险评估"));
        QCOMPARE(root->child(1)->child(0)->text(0), QStringLiteral("工作底稿"));
        QCOMPARE(root->child(2)->childCount(), 0);
        QVERIFY(loggedOperations().contains(QStringLiteral("GetBaseDBConnection")));
    }

    // Every menu and item of the bar has a mnemonic, distinct within its menu, and Alt with a
    // menu's letter opens that menu.
    void menusHaveMnemonics_data() {
        QTest::addColumn<QString>("menu");
        QTest::addColumn<int>("letter");
        QTest::newRow("file") << "文件(&F)" << int(Qt::Key_F);
        QTest::newRow("templates") << "模板(&T)" << int(Qt::Key_T);
        QTest::newRow("data packs") << "数据包(&P)" << int(Qt::Key_P);
        QTest::newRow("windows") << "窗口(&W)" << int(Qt::Key_W);
        QTest::newRow("view") << "视图(&V)" << int(Qt::Key_V);
    }
    void menusHaveMnemonics() {
        QFETCH(QString, menu);
        QFETCH(int, letter);
        QMenu* found = nullptr;
        for (QAction* action : m_window->menuBar()->actions())
            if (action->text() == menu)
                found = action->menu();
        QVERIFY(found);
        QSet<QKeySequence> mnemonics;
        int items = 0;
        for (QAction* item : found->actions()) {
            if (item->isSeparator())
                continue;
            ++items;
            const QKeySequence mnemonic = QKeySequence::mnemonic(item->text());
            QVERIFY2(!mnemonic.isEmpty(), qPrintable(item->text()));
            mnemonics.insert(mnemonic);
        }
        QCOMPARE(mnemonics.size(), items);

        m_window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
        QTest::keyClick(m_window.get(), Qt::Key(letter), Qt::AltModifier);
        QTRY_COMPARE(QApplication::activePopupWidget(), found);
        found->close();
    }

    // F10 opens the first menu; the file menu's items have the usual keys.
    void menuBarKeys() {
        QCOMPARE(m_window->menuBar()->actions().size(), 5); // each one a row above
        m_window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
        QTest::keyClick(m_window.get(), Qt::Key_F10);
        QMenu* file = m_window->menuBar()->actions().constFirst()->menu();
        QTRY_COMPARE(QApplication::activePopupWidget(), file);
        file->close();
        const QList<QAction*> items = file->actions();
        QCOMPARE(items.constFirst()->shortcut(), QKeySequence(QKeySequence::Open));
        QCOMPARE(items.constLast()->shortcut(), QKeySequence(QKeySequence::Quit));
    }

    // Modes without a window complete and open nothing; the first call makes the data module
    // among the host's components, later calls find it and ask the host for no new connection.
    void runAppEvnWithoutWindowModes() {
        QCOMPARE(m_window->runApp(0), 0);
        const qsizetype connections =
            loggedOperations().count(QStringLiteral("GetBaseDBConnection"));
        QVERIFY(m_window->findChild<QObject*>(QStringLiteral("DMZQDocTemplateMG")));
        QCOMPARE(m_window->runApp(4), 0);
        QCOMPARE(m_window->runApp(0), 0);
        QCOMPARE(loggedOperations().count(QStringLiteral("GetBaseDBConnection")), connections);
        QVERIFY(m_window->mdiArea()->subWindowList().isEmpty());
    }

    // Mode 1 opens the one manager window inside the document area; a second call keeps it.
    void managerWindowOpensOnce() {
        QCOMPARE(m_window->runApp(1), 0);
        QCOMPARE(m_window->statusBar()->currentMessage(), QStringLiteral("已打开文档模板管理。"));
        QMdiArea* area = m_window->mdiArea();
        QCOMPARE(area->findChildren<QWidget*>(QStringLiteral("FrmZQDocTemplateMG")).size(), 1);
        QCOMPARE(area->subWindowList().size(), 1);

        QCOMPARE(m_window->runApp(1), 0);
        QCOMPARE(area->findChildren<QWidget*>(QStringLiteral("FrmZQDocTemplateMG")).size(), 1);
        QCOMPARE(area->subWindowList().size(), 1);
        QCOMPARE(area->activeSubWindow(), area->subWindowList().first());

        // Closed by the user, it frees itself; the next call makes a new one, read afresh.
        QSqlQuery insert(corvane::hostDatabase());
        QVERIFY(insert.exec(QStringLiteral("insert into ZQ_DocInfoMaster(DocSortID, DocSortName, "
                                           "DocSortMemo) values('0009', '新增分类', '')")));
        area->subWindowList().first()->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(area->findChildren<QWidget*>(QStringLiteral("FrmZQDocTemplateMG")).isEmpty());
        QCOMPARE(m_window->runApp(1), 0);
        const auto forms = area->findChildren<QWidget*>(QStringLiteral("FrmZQDocTemplateMG"));
        QCOMPARE(forms.size(), 1);
        const auto* tree = forms.first()->findChild<QTreeWidget*>(QStringLiteral("tvwOrg"));
        QVERIFY(!tree->findItems(QStringLiteral("新增分类"), Qt::MatchRecursive).isEmpty());
        area->subWindowList().first()->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(
            insert.exec(QStringLiteral("delete from ZQ_DocInfoMaster where DocSortID = '0009'")));
    }

    void registrationDialogHandsTemplateToHost_data() {
        QTest::addColumn<QString>("serial");
        QTest::addColumn<bool>("registered");
        QTest::newRow("demo project") << QString::fromLatin1(corvane::kDemoProject) << true;
        QTest::newRow("no project") << QString() << false;
        QTest::newRow("test project") << QStringLiteral("projectTEST") << false;
    }

    // Mode 2: picking a template and pressing OK registers it with the open project through
    // the host's services, and the host lists the new item; without a usable project the host
    // is asked for nothing more than the serial.
    void registrationDialogHandsTemplateToHost() {
        QFETCH(QString, serial);
        QFETCH(bool, registered);
        corvane::setProjectSerial(serial);
        const qsizetype before = loggedOperations().size();
        QTimer::singleShot(0, this, [] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            // Whatever fails below, the dialog closes and the test goes on.
            const auto close = qScopeGuard([dialog] { dialog->reject(); });
            auto* tree = dialog->findChild<QTreeWidget*>(QStringLiteral("tvwOrg"));
            QVERIFY(tree);
            QTreeWidgetItem* found = zq::test::findOpening(tree, QStringLiteral("审计通知书"));
            QVERIFY(found);
            tree->setCurrentItem(found);
            dialog->findChild<QAbstractButton*>(QStringLiteral("BtBtnOK"))->click();
        });
        QCOMPARE(m_window->runApp(2), 0);

        const QStringList calls = loggedOperations().mid(before);
        const QStringList expected =
            registered
                ? QStringList({"ZQGetCurPrjSerial", "ZQDoResTypeProc", "ZQGetCurUUID",
                               "RegisterDataExN", "GetDataInfo", "LoadDataFileName", "ViewFile"})
                : QStringList({"ZQGetCurPrjSerial"});
        QCOMPARE(calls, expected);
        QCOMPARE(m_window->itemList()->topLevelItemCount(), registered ? 1 : 0);
        QCOMPARE(m_window->statusBar()->currentMessage(),
                 registered ? QStringLiteral("已向项目注册 1 个模板。")
                            : QStringLiteral("没有注册模板。"));
        if (!registered)
            return;
        QCOMPARE(m_window->itemList()->topLevelItem(0)->text(1), QStringLiteral("审计通知书"));

        // The texts crossed the boundary intact, in the order the host expects them.
        const QList<QJsonObject> log = loggedCalls().mid(before);
        const QJsonArray uuidArgs = log[2].value(QStringLiteral("args")).toArray();
        QCOMPARE(uuidArgs.size(), 9);
        QCOMPARE(uuidArgs[0].toString(), QStringLiteral("通知被审计单位的标准格式"));
        QCOMPARE(uuidArgs[1].toString(), QStringLiteral("审计 通知书"));
        QCOMPARE(uuidArgs[2].toString(), QStringLiteral("WWW"));
        QVERIFY(uuidArgs[4].toString().endsWith(
            QStringLiteral("/APP/Config/XTGL/DocTemplate/审计通知书.txt")));
        QCOMPARE(uuidArgs[5].toString(), QStringLiteral("XMGL"));
        QCOMPARE(uuidArgs[6].toInt(), -1);
        const QJsonObject registration = log[3];
        QCOMPARE(registration.value(QStringLiteral("args")).toArray()[1].toString(),
                 QStringLiteral("审计通知书"));
        QVERIFY(registration.value(QStringLiteral("result")).toInt() > 0);
    }

    // The data-pack export round: nothing ticked gives "-2"; the whole tree ticked writes
    // "DocMod.Pck" with the sample templates; the frames are gone after ZQPackage_Free.
    void dataPackExportRound() {
        const auto application = reinterpret_cast<intptr_t>(m_window.get());
        const auto screen = reinterpret_cast<intptr_t>(m_window->mdiArea());
        QWidget container;
        QCOMPARE(m_plugin->ZQPackage_ExportProc(application, screen, 0, 101,
                                                reinterpret_cast<intptr_t>(&container)),
                 1);
        const auto exportPath = [&] {
            char* packPath = nullptr;
            m_plugin->ZQPackage_Export(application, screen, 0, 101, &packPath);
            const QString path = QString::fromUtf8(packPath ? packPath : "");
            std::free(packPath);
            return path;
        };
        QCOMPARE(exportPath(), QStringLiteral("-2"));
        auto* tree = container.findChild<QTreeWidget*>(QStringLiteral("cktreeDocTemp"));
        QVERIFY(tree && tree->topLevelItemCount() > 0);
        tree->topLevelItem(0)->setCheckState(0, Qt::Checked);
        const QString path = exportPath();
        QVERIFY2(path.endsWith(QStringLiteral("/~DocMod/DocMod.Pck")), qPrintable(path));
        QVERIFY(QFileInfo(path).size() > 0);
        m_plugin->ZQPackage_Free(application, screen, 0, 101, 1);
        QCOMPARE(m_window->findChild<QWidget*>(QStringLiteral("Temp_ExportFrame")), nullptr);
        QCOMPARE(container.findChild<QWidget*>(QStringLiteral("Temp_ExportFrame")), nullptr);
    }
};

QTEST_MAIN(TstHostPlugin)
#include "tst_host_plugin.moc"
