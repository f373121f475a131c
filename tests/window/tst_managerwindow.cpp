#include "HostDatabase.h"
#include "WindowFixture.h"
#include "catalogue/ClassCatalogue.h"
#include "catalogue/ClassMoves.h"
#include "catalogue/Sql.h"
#include "catalogue/TemplateDocuments.h"
#include "catalogue/TemplateFiles.h"
#include "catalogue/TemplateStore.h"

#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QScopeGuard>
#include <QSettings>
#include <QSplitter>
#include <QTemporaryDir>
#include <QTest>
#include <QToolTip>

using namespace zq;
using zq::test::WindowFixture;

namespace {

// Classes A (0001) with A1, A2 and A1's child A11, and B (0002); templates at every level.
struct Filled : WindowFixture {
    qint64 rootDoc = 0, aDoc = 0, aBlank = 0, a1Doc = 0;
    Filled() {
        catalogue.addClass("0001", "A", "甲说明");
        catalogue.addClass("00010001", "A1");
        catalogue.addClass("000100010001", "A11");
        catalogue.addClass("00010002", "A2", "乙");
        catalogue.addClass("0002", "B");
        rootDoc = catalogue.addTemplate("根模板", "", "r.doc", "WORD", "根说明");
        aDoc = catalogue.addTemplate("甲模板", "0001", "a.xls", "EXCEL");
        aBlank = catalogue.addTemplate("无文件", "0001", "  ", "NOTYPE");
        a1Doc = catalogue.addTemplate("深模板", "00010001", "d.doc");
        open();
    }
};

QPoint centreOf(QTreeWidget* view, QTreeWidgetItem* item) {
    return view->visualItemRect(item).center();
}

QPoint centreOf(QTreeView* view, const QModelIndex& item) {
    return view->visualRect(item).center();
}

} // namespace

class TestManagerWindow : public QObject {
    Q_OBJECT

private slots:
    void opensOnTheRoot() {
        Filled f;
        QCOMPARE(f.window->windowTitle(), QString("审计文档模板管理"));
        QCOMPARE(f.selectedCode(), QString());
        QVERIFY(f.tree()->topLevelItem(0)->isExpanded());
        QCOMPARE(f.rows().size(), 3);
    }

    void listContents_data() {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("root: top classes and unfiled templates")
            << QString()
            << QStringList{"A|甲说明||0001||10", "B|||0002||10",
                           "根模板|根说明||@root|Word文档|11"};
        QTest::newRow("class: direct sub-classes and its own templates")
            << "0001"
            << QStringList{"A1|||00010001||10", "A2|乙||00010002||10", "甲模板||A|@a|Excel表格|11",
                           "无文件||A|@blank||11"};
        QTest::newRow("empty class") << "00010002" << QStringList{};
    }
    void listContents() {
        QFETCH(QString, code);
        QFETCH(QStringList, expected);
        Filled f;
        expected.replaceInStrings("@root", QString::number(f.rootDoc));
        expected.replaceInStrings("@a", QString::number(f.aDoc));
        expected.replaceInStrings("@blank", QString::number(f.aBlank));
        f.selectNode(code);
        QCOMPARE(f.rows(), expected);
        for (int i = 0; i < f.rowCount(); ++i) {
            const bool classRow = f.cell(i, kColRowId).startsWith("000");
            // The typed roles tell the same as the columns.
            const QModelIndex first = f.list()->model()->index(i, 0);
            QCOMPARE(first.data(ReportListModel::KindRole).value<RowKind>(),
                     classRow ? RowKind::Class : RowKind::Template);
            QCOMPARE(first.data(ReportListModel::IdRole).toString(), f.cell(i, kColRowId));
            QCOMPARE(first.data(ReportListModel::FilePathRole).toString(), f.cell(i, kColFullPath));
            QCOMPARE(f.cell(i, kColFullPath),
                     classRow ? templateStorePath() + " "
                              : storedFilePath(sqlValue(f.catalogue.db(),
                                                        "select DocFileName from ZQ_DocTempDetail "
                                                        "where DocID = ?",
                                                        {f.cell(i, kColRowId).toLongLong()})
                                                   .toString()));
        }
    }

    // A class whose contents cannot be read shows an empty list and says so, never the
    // contents of the class shown before.
    void readErrorClearsTheList() {
        Filled f;
        QVERIFY(f.rowCount() > 0);
        runSql(f.catalogue.db(), "alter table ZQ_DocTempDetail rename to ZQ_DocTempDetail_away");
        f.selectNode("0001");
        runSql(f.catalogue.db(), "alter table ZQ_DocTempDetail_away rename to ZQ_DocTempDetail");
        QCOMPARE(f.rowCount(), 0);
        QCOMPARE(f.dialogs.texts("error"), QStringList{"无法读取模板目录：数据库操作失败。"});
        QVERIFY(f.dialogs.shown.last().details.contains("ZQ_DocTempDetail", Qt::CaseInsensitive));
    }

    void refreshKeepsTheView() {
        Filled f;
        f.node("0001")->setExpanded(true);
        f.node("00010001")->setExpanded(true);
        f.selectNode("00010001");
        f.catalogue.addClass("0003", "C");
        const qint64 added = f.catalogue.addTemplate("新模板", "00010001", "n.doc");
        f.trigger("ActRefresh");
        QCOMPARE(f.selectedCode(), QString("00010001"));
        QVERIFY(f.node("0001")->isExpanded());
        QVERIFY(f.node("00010001")->isExpanded()); // open nodes are opened again
        QVERIFY(!f.node("0002")->isExpanded());
        QVERIFY(f.node("0003"));
        QVERIFY(f.row(QString::number(added)).isValid());

        // The selected class has gone: the last remembered open node still there is selected.
        runSql(f.catalogue.db(), "delete from ZQ_DocTempDetail where DocSortID like '00010001%'");
        runSql(f.catalogue.db(), "delete from ZQ_DocInfoMaster where DocSortID like '00010001%'");
        f.trigger("ActRefresh");
        QCOMPARE(f.selectedCode(), QString("0001"));
        QCOMPARE(f.rows().first(), QString("A2|乙||00010002||10"));
    }

    // Another writer's changes reach the open window through their notices: the tree and the
    // list follow, open nodes and the selection stay, and what vanished is said in the status
    // line, never in a dialog.
    void followsOtherWritersKeepingTheView() {
        Filled f;
        const QSqlDatabase& db = f.catalogue.db();
        f.node("0001")->setExpanded(true);
        f.node("00010001")->setExpanded(true);
        f.selectNode("00010001");
        f.selectRow(QString::number(f.a1Doc));
        const auto status = [&] { return f.window->findChild<QLabel*>("statusLine")->text(); };
        // Renames, additions and deletions of classes change their nodes in place.
        const QTreeWidgetItem* top = f.node("0001");

        updateClass(db, "0001", "A改", {});
        QTRY_COMPARE(f.node("0001")->text(0), QString("A改"));
        QVERIFY(f.node("0001")->isExpanded());
        QVERIFY(f.node("00010001")->isExpanded());
        QCOMPARE(f.selectedCode(), QString("00010001"));
        QCOMPARE(selectedRowIndex(f.list()), f.row(QString::number(f.a1Doc)).row());

        // A template added elsewhere joins the list; the selected row stays selected.
        const qint64 added =
            insertTemplate(db, TemplateRecord{0, "新模板", "n.doc", {}, "WORD", {}, "00010001"});
        QTRY_VERIFY(f.row(QString::number(added)).isValid());
        QCOMPARE(selectedRowIndex(f.list()), f.row(QString::number(f.a1Doc)).row());
        QCOMPARE(status(), QString());

        deleteTemplateAndFile(db, f.a1Doc);
        QTRY_VERIFY(!f.row(QString::number(f.a1Doc)).isValid());
        QCOMPARE(status(), QString("该模板已被其他用户删除"));

        // The selected class deleted: its nearest class above is selected, still open.
        deleteTemplateAndFile(db, added);
        QCOMPARE(deleteEmptyClassTree(db, "00010001"), ClassTreeDeletion::Deleted);
        QTRY_VERIFY(!f.node("00010001"));
        QCOMPARE(f.selectedCode(), QString("0001"));
        QVERIFY(f.node("0001")->isExpanded());

        // A class added elsewhere takes its place among its siblings, in code order.
        insertClass(db, "00010001", "新分类", {});
        QTRY_VERIFY(f.node("00010001"));
        QCOMPARE(f.node("0001")->indexOfChild(f.node("00010001")), 0);
        QCOMPARE(f.node("00010001")->text(0), QString("新分类"));
        QCOMPARE(f.node("0001"), top);
        QTRY_VERIFY(f.row("00010001").isValid());

        // A class moved away from under an open one: the tree shows it at its new place.
        moveClassTo(db, "00010002", "0002");
        QTRY_VERIFY(f.node("00020001"));
        QVERIFY(!f.node("00010002"));
        QCOMPARE(f.selectedCode(), QString("0001"));
        QVERIFY(f.node("0001")->isExpanded());
        QCOMPARE(f.dialogs.shown.size(), 0);
    }

    // The server ends the window's connection: the window opens it again by itself, says so
    // in its status line, and reads the whole catalogue again, since what changed meanwhile
    // was never heard.
    void lostConnectionIsFollowedAgain() {
        Filled f;
        if (!f.catalogue.isPostgres())
            QSKIP("needs the PostgreSQL server of the test run");
        QSqlDatabase other =
            corvane::openHostDatabase("other", {}, qEnvironmentVariable("ZQ_TEST_DATABASE"));
        const auto close = qScopeGuard([&] {
            other.close();
            other = QSqlDatabase();
            QSqlDatabase::removeDatabase("other");
        });
        const QVariant pid = sqlValue(f.catalogue.db(), "select pg_backend_pid()");
        QVERIFY(sqlValue(other, "select pg_terminate_backend(?, 5000)", {pid}).toBool());
        // Unheard: written without a notice while the window had no connection.
        runSql(other, "update ZQ_DocInfoMaster set DocSortName = 'B改' where DocSortID = '0002'");
        QTRY_COMPARE(f.window->findChild<QLabel*>("statusLine")->text(),
                     QString("已重新连接模板目录数据库，目录已重新读取。"));
        QTRY_COMPARE(f.node("0002")->text(0), QString("B改"));
        QCOMPARE(f.dialogs.shown.size(), 0);
    }

    void upAndRowNavigation() {
        Filled f;
        f.trigger("actUP"); // at the root: nothing
        QCOMPARE(f.selectedCode(), QString());
        f.selectNode("0001");
        f.trigger("actUP");
        QCOMPARE(f.selectedCode(), QString());

        const auto at = [&] { return f.list()->selectionModel()->selectedRows().value(0).row(); };
        f.trigger("ActPrevious"); // nothing selected: nothing
        QCOMPARE(at(), -1);
        f.trigger("ActNext");
        QCOMPARE(at(), 0);
        f.trigger("ActPrevious");
        QCOMPARE(at(), 0);
        f.trigger("ActLast");
        QCOMPARE(at(), 2);
        f.trigger("ActNext");
        QCOMPARE(at(), 2);
        f.trigger("ActPrevious");
        QCOMPARE(at(), 1);
        f.trigger("ActFirst");
        QCOMPARE(at(), 0);
    }

    void popups() {
        Filled f;
        f.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
        auto* classMenu = f.window->findChild<QMenu*>("TBPpMenuClass");
        auto* docMenu = f.window->findChild<QMenu*>("TBPpMenuDoc");
        const auto rightPress = [](QTreeView* view, QPoint at) {
            QTest::mousePress(view->viewport(), Qt::RightButton, {}, at);
        };
        const auto states = [&] {
            return QList<bool>{f.act("ActDelete")->isEnabled(), f.act("ActiEdit")->isEnabled(),
                               f.act("ActSearch")->isEnabled()};
        };

        f.selectNode("0001");
        rightPress(f.tree(), centreOf(f.tree(), f.node("")));
        QVERIFY(classMenu->isVisible());
        QCOMPARE(f.selectedCode(), QString());
        // The root's path searches the whole catalogue, so the search stays offered.
        QCOMPARE(states(), (QList<bool>{false, false, true}));
        classMenu->close();

        rightPress(f.tree(), centreOf(f.tree(), f.node("0002")));
        QVERIFY(classMenu->isVisible());
        QCOMPARE(states(), (QList<bool>{true, true, true}));
        classMenu->close();

        rightPress(f.tree(), QPoint(5, f.tree()->viewport()->height() - 5));
        QVERIFY(!classMenu->isVisible());
        QCOMPARE(f.selectedCode(), QString("0002"));

        f.selectNode("0001");
        rightPress(f.list(), centreOf(f.list(), f.row(QString::number(f.aDoc))));
        QVERIFY(docMenu->isVisible());
        QVERIFY(f.act("ActeditDocDes")->isEnabled());
        docMenu->close();
        rightPress(f.list(), centreOf(f.list(), f.row(QString::number(f.aBlank))));
        QVERIFY(docMenu->isVisible()); // a template without a file is a template row all the same
        docMenu->close();
        rightPress(f.list(), centreOf(f.list(), f.row("00010001")));
        QVERIFY(classMenu->isVisible());
        QVERIFY(f.act("ActDelete")->isEnabled());
        QVERIFY(!f.act("ActeditDocDes")->isEnabled());
        classMenu->close();
        rightPress(f.list(), QPoint(5, f.list()->viewport()->height() - 5));
        QVERIFY(docMenu->isVisible());
        QVERIFY(!f.list()->selectionModel()->hasSelection());
        docMenu->close();
    }

    // Each key, pressed in the pane that has the focus, triggers its action and no other.
    void keysTriggerTheirActions_data() {
        QTest::addColumn<QString>("node");
        QTest::addColumn<QString>("row"); // "doc": the template row of A; empty: no row
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QString>("action");
        const int none = Qt::NoModifier;
        QTest::newRow("F5") << "0001"
                            << "" << int(Qt::Key_F5) << none << "ActRefresh";
        QTest::newRow("Delete, class") << "0001"
                                       << "" << int(Qt::Key_Delete) << none << "ActDeleteDoc";
        QTest::newRow("Delete, template") << "0001"
                                          << "doc" << int(Qt::Key_Delete) << none << "ActDeleteDoc";
        QTest::newRow("F2, class") << "0001"
                                   << "" << int(Qt::Key_F2) << none << "ActiEdit";
        QTest::newRow("F2, template") << "0001"
                                      << "doc" << int(Qt::Key_F2) << none << "ActeditDocDes";
        QTest::newRow("Backspace") << "0001"
                                   << "" << int(Qt::Key_Backspace) << none << "actUP";
        QTest::newRow("Alt+Up") << "0001"
                                << "" << int(Qt::Key_Up) << int(Qt::AltModifier) << "actUP";
        QTest::newRow("Ctrl+N") << "0001"
                                << "" << int(Qt::Key_N) << int(Qt::ControlModifier) << "ActAddDoc";
        QTest::newRow("Ctrl+Shift+N")
            << "0001"
            << "" << int(Qt::Key_N) << int(Qt::ControlModifier | Qt::ShiftModifier)
            << "ActAddClass";
    }
    void keysTriggerTheirActions() {
        QFETCH(QString, node);
        QFETCH(QString, row);
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(QString, action);
        Filled f;
        f.window->show();
        QApplication::setActiveWindow(f.window.get());
        QVERIFY(QTest::qWaitForWindowActive(f.window.get()));
        f.selectNode(node);
        QTreeView* view = f.tree();
        if (!row.isEmpty()) {
            f.selectRow(QString::number(f.aDoc));
            view = f.list();
        }
        view->setFocus();
        QStringList triggered;
        for (QAction* act : f.window->findChildren<QAction*>())
            connect(act, &QAction::triggered, this,
                    [&triggered, act] { triggered << act->objectName(); });
        QTest::keyClick(view, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QCOMPARE(triggered, QStringList{action});
    }

    // Enter opens a template row or enters a class row; the context-menu key and Shift+F10
    // open the focused view's popup.
    void enterAndPopupKeys() {
        Filled f;
        f.window->show();
        QApplication::setActiveWindow(f.window.get());
        QVERIFY(QTest::qWaitForWindowActive(f.window.get()));
        auto* classMenu = f.window->findChild<QMenu*>("TBPpMenuClass");
        auto* docMenu = f.window->findChild<QMenu*>("TBPpMenuDoc");

        f.selectNode("0001");
        f.selectRow(QString::number(f.aDoc));
        f.list()->setFocus();
        QTest::keyClick(f.list(), Qt::Key_Return);
        QCOMPARE(f.host.callNames(), QStringList{"ViewFile"});
        QTest::keyClick(f.list(), Qt::Key_Menu);
        QVERIFY(docMenu->isVisible());
        docMenu->close();

        f.selectRow("00010001");
        QTest::keyClick(f.list(), Qt::Key_F10, Qt::ShiftModifier);
        QVERIFY(classMenu->isVisible());
        classMenu->close();
        QTest::keyClick(f.list(), Qt::Key_Enter);
        QCOMPARE(f.selectedCode(), QString("00010001"));
        QVERIFY(f.tree()->hasFocus());

        QTest::keyClick(f.tree(), Qt::Key_Menu);
        QVERIFY(classMenu->isVisible());
        QVERIFY(f.act("ActDelete")->isEnabled());
        classMenu->close();
    }

    // Shortcuts are named in the tooltips; the menu bar opens with Alt.
    void shortcutsAreShown() {
        Filled f;
        QCOMPARE(f.act("ActRefresh")->toolTip(), QString("刷新（F5）"));
        QCOMPARE(f.act("actUP")->toolTip(), QString("向上（Backspace）"));
        QCOMPARE(f.act("ActAddClass")->toolTip(), QString("添加模板分类（Ctrl+Shift+N）"));
        auto* bar = f.window->findChild<QMenuBar*>("TBToolbar1");
        QCOMPARE(bar->actions().first()->text(), QString("操作(&O)"));
    }

    void sortingCycle() {
        WindowFixture f;
        for (const char* caption : {"beta", "", "Alpha", "中文", "alpha2"})
            f.catalogue.addTemplate(caption, "", "s.doc", "WORD", QString("说明") + caption);
        f.open();
        f.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
        QHeaderView* header = f.list()->header();
        const auto clickCaption = [&] {
            QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                              QPoint(header->sectionViewportPosition(kColCaption) + 5, 5));
        };
        const auto order = [&] {
            QStringList result;
            for (int i = 0; i < f.rowCount(); ++i) {
                const bool whole = f.cell(i, kColMemo) == "说明" + f.cell(i, kColCaption);
                result.append(whole ? f.cell(i, kColCaption) : QString("<torn row>"));
            }
            return result;
        };
        // The selected row stays selected, wherever it goes.
        const auto selectedCaption = [&] {
            const QModelIndexList selected = f.list()->selectionModel()->selectedRows();
            return selected.size() == 1 ? f.cell(selected[0].row(), kColCaption) : QString();
        };
        f.list()->setCurrentIndex(
            f.list()->model()->match(f.list()->model()->index(0, 0), Qt::DisplayRole, "beta")[0]);
        const QStringList ascending{"Alpha", "alpha2", "beta", "中文", ""};
        QStringList descending = ascending;
        std::reverse(descending.begin(), descending.end());
        for (const QStringList& expected : {ascending, descending, ascending}) {
            clickCaption();
            QCOMPARE(order(), expected);
            QCOMPARE(selectedCaption(), QString("beta"));
        }
    }

    // A long name reads whole while the window has room; the widths a person gives the columns
    // and the class pane outlive the window, and a class name the pane cuts off shows whole.
    void layoutFitsAndIsRemembered() {
        QTemporaryDir settings;
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
        const QString name = "底稿模板9901-" + QString(24, QChar(u'审'));
        WindowFixture f;
        f.catalogue.addClass("0001", "一个名称很长很长很长很长很长很长很长的分类");
        f.catalogue.addClass("0002", "乙");
        f.catalogue.addTemplate(name, "", "s.doc", "WORD", "说明");
        const auto show = [&] {
            f.open();
            f.window->resize(1000, 500);
            f.window->show();
            QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
        };
        show();
        QHeaderView* header = f.list()->header();
        const auto wanted = [](QAbstractItemView* view, int column) {
            return view->sizeHintForColumn(column);
        };
        QTRY_VERIFY(header->sectionSize(kColCaption) >= wanted(f.list(), kColCaption));
        QVERIFY(header->sectionSize(kColCaption) > f.list()->fontMetrics().horizontalAdvance(name));
        QCOMPARE(header->length(), f.list()->viewport()->width()); // the name takes the rest

        const int narrow = f.tree()->width();
        auto* handle = f.window->findChild<QSplitter*>()->handle(1);
        QTest::mousePress(handle, Qt::LeftButton, {}, handle->rect().center());
        QTest::mouseMove(handle, handle->rect().center() + QPoint(40, 0));
        QTest::mouseRelease(handle, Qt::LeftButton, {}, handle->rect().center() + QPoint(40, 0));
        const int pane = f.tree()->width();
        QVERIFY(pane > narrow);
        header->resizeSection(kColMemo, 222);
        f.window.reset();

        show();
        QTRY_COMPARE(f.list()->header()->sectionSize(kColMemo), 222);
        QCOMPARE(f.tree()->width(), pane);
        QVERIFY(f.tree()->width() < wanted(f.tree(), 0));

        // The tooltip shows the whole label of a node the pane's edge cuts off, and none on a
        // node shown whole.
        const auto tipAt = [&](const QString& code) {
            const QRect item = f.tree()->visualItemRect(f.node(code));
            const QPoint at(item.left() + 10, item.center().y());
            QHelpEvent help(QEvent::ToolTip, at, f.tree()->viewport()->mapToGlobal(at));
            QApplication::sendEvent(f.tree()->viewport(), &help);
            return QToolTip::isVisible() ? QToolTip::text() : QString();
        };
        f.tree()->expandAll();
        QCOMPARE(tipAt("0002"), QString());
        QCOMPARE(tipAt("0001"), f.node("0001")->text(0));
    }

    void closingTheChildWindowFreesTheForm() {
        WindowFixture f;
        QMdiArea area;
        QPointer<ManagerWindow> form = new ManagerWindow(&area, f.catalogue.db());
        QMdiSubWindow* child = area.addSubWindow(form);
        QPointer<QMdiSubWindow> childGuard = child;
        child->showMaximized();
        child->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(form.isNull());
        QVERIFY(childGuard.isNull());
    }
};

QTEST_MAIN(TestManagerWindow)
#include "tst_managerwindow.moc"
