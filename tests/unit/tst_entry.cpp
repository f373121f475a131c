#include "FakeHost.h"
#include "ScriptedDialogs.h"
#include "TestCatalogue.h"
#include "entry/DataModule.h"
#include "widgets/TreeNodes.h"
#include "widgets/UiReferences.h"

#include <QMdiArea>
#include <QTest>
#include <QTreeWidget>
#include <cstdint>
#include <memory>

extern "C" int32_t RunAppEvn(intptr_t, intptr_t, intptr_t, int32_t, int32_t, int32_t, int32_t);
extern "C" void GetDocList(void*);

using namespace zq;
using namespace zq::test;

class TestEntry : public QObject {
    Q_OBJECT

private slots:
    void modesThatOpenNothingStillMakeTheDataModuleOnce() {
        TestCatalogue catalogue;
        FakeHost host;
        host.connection = catalogue.db();
        FakeHostScope scope(host);
        QWidget application;
        application.setWindowTitle("宿主");

        for (int mode : {0, 4, 0}) {
            QCOMPARE(RunAppEvn(11, reinterpret_cast<intptr_t>(&application), 0, 0, mode, 0, 0), 0);
            QCOMPARE(uiReferences().application, &application);
            QCOMPARE(uiReferences().hintWindowClass, intptr_t(11));
        }
        const auto modules = application.findChildren<DataModule*>("DMZQDocTemplateMG");
        QCOMPARE(modules.size(), 1);
        QVERIFY(modules[0]->connection().isOpen());
        QCOMPARE(host.callNames(), QStringList{"GetBaseDBConnection"});
        QCOMPARE(applicationTitle(), QString("宿主"));
    }

    void getDocListFillsTheHostTreeWithTheClassTree() {
        TestCatalogue catalogue;
        catalogue.addClass("0001", "审计计划", "计划");
        catalogue.addClass("00010001", "总体计划");
        FakeHost host;
        host.connection = catalogue.db();
        FakeHostScope scope(host);
        QWidget application;
        QCOMPARE(RunAppEvn(0, reinterpret_cast<intptr_t>(&application), 0, 0, 0, 0, 0), 0);

        QTreeWidget tree;
        GetDocList(&tree);
        QCOMPARE(tree.topLevelItemCount(), 1);
        QTreeWidgetItem* root = tree.topLevelItem(0);
        QCOMPARE(root->text(0), rootNodeText());
        QCOMPARE(root->child(0)->text(0), QString("审计计划"));
        QCOMPARE(nodeRecord(root->child(0)), (QStringList{"0001", "审计计划", "计划"}));
        QCOMPARE(root->child(0)->child(0)->text(0), QString("总体计划"));
        QVERIFY(!tree.currentItem());
    }

    // The host replaces its main window between two calls. GetDocList, which is handed no
    // application, must not reach into the destroyed one: it fills the tree with a data module
    // of its own, and the next export installs the new window.
    void getDocListAfterTheHostReplacedItsWindow() {
        TestCatalogue catalogue;
        catalogue.addClass("0001", "审计计划");
        FakeHost host;
        host.connection = catalogue.db();
        FakeHostScope scope(host);
        auto first = std::make_unique<QWidget>();
        auto* area = new QMdiArea(first.get());
        QCOMPARE(RunAppEvn(0, reinterpret_cast<intptr_t>(first.get()),
                           reinterpret_cast<intptr_t>(area), 0, 0, 0, 0),
                 0);
        QVERIFY(first->findChild<DataModule*>("DMZQDocTemplateMG"));
        first.reset();
        QVERIFY(!uiReferences().application);
        QVERIFY(!uiReferences().screen);

        QWidget second;
        auto* tree = new QTreeWidget(&second);
        GetDocList(tree);
        QCOMPARE(tree->topLevelItemCount(), 1);
        QCOMPARE(tree->topLevelItem(0)->child(0)->text(0), QString("审计计划"));
        QVERIFY(application()->findChild<DataModule*>("DMZQDocTemplateMG"));

        QCOMPARE(RunAppEvn(0, reinterpret_cast<intptr_t>(&second), 0, 0, 0, 0, 0), 0);
        QCOMPARE(uiReferences().application, &second);
        QCOMPARE(second.findChildren<DataModule*>("DMZQDocTemplateMG").size(), 1);
    }

    void withoutAConnectionNothingCrashes() {
        FakeHost host; // hands over no connection
        FakeHostScope scope(host);
        QWidget application;
        QCOMPARE(RunAppEvn(0, reinterpret_cast<intptr_t>(&application), 0, 0, 4, 0, 0), 0);
        QVERIFY(!application.findChild<DataModule*>()->connection().isValid());

        // The manager window still opens, and says why it is empty.
        ScriptedDialogs dialogs;
        ScriptedDialogsScope dialogsScope(dialogs);
        QCOMPARE(RunAppEvn(0, reinterpret_cast<intptr_t>(&application), 0, 0, 1, 0, 0), 0);
        QVERIFY(application.findChild<QWidget*>("FrmZQDocTemplateMG"));
        QCOMPARE(dialogs.texts("error").size(), 1);
        QVERIFY(dialogs.texts("error")[0].contains("数据库连接"));

        // GetDocList leaves the host's tree as it was and says why.
        application.setWindowTitle("宿主");
        QTreeWidget tree;
        new QTreeWidgetItem(&tree, {"host item"});
        GetDocList(&tree);
        QCOMPARE(tree.topLevelItem(0)->text(0), QString("host item"));
        QCOMPARE(dialogs.texts("error").size(), 2);
        QVERIFY(dialogs.texts("error")[1].contains("数据库连接"));
        QCOMPARE(dialogs.shown.last().title, QString("宿主"));
        GetDocList(nullptr);
        QCOMPARE(dialogs.texts("error").size(), 2);
    }
};

QTEST_MAIN(TestEntry)
#include "tst_entry.moc"
