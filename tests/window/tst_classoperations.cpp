#include "WindowFixture.h"
#include "catalogue/ClassCatalogue.h"
#include "catalogue/RecycleBin.h"
#include "catalogue/Sql.h"
#include "ui/ClassDialog.h"
#include "ui/ManagerClassOperations.h"

#include <QApplication>
#include <QClipboard>
#include <QTest>

using namespace zq;
using zq::test::fillAndPress;
using zq::test::WindowFixture;

namespace {

struct Classes : WindowFixture {
    Classes() {
        catalogue.addClass("0001", "A", "甲");
        catalogue.addClass("00010001", "A1");
        catalogue.addClass("000100010001", "A11");
        catalogue.addClass("0002", "B");
        open();
    }
    QString nameOf(const QString& code) { return classNameOfCode(catalogue.db(), code); }
};

} // namespace

class TestClassOperations : public QObject {
    Q_OBJECT

private slots:
    void addClass_data() {
        QTest::addColumn<QString>("node");
        QTest::addColumn<QString>("row");
        QTest::addColumn<QString>("expected");
        QTest::newRow("root, no row") << QString() << QString() << "0003";
        QTest::newRow("class row under the root") << QString() << "0001"
                                                  << "00010002";
        QTest::newRow("template row: the node's child") << "00010001"
                                                        << "@doc"
                                                        << "000100010002";
        QTest::newRow("template row without a file: the node's child") << "00010001"
                                                                       << "@blank"
                                                                       << "000100010002";
    }
    void addClass() {
        QFETCH(QString, node);
        QFETCH(QString, row);
        QFETCH(QString, expected);
        Classes f;
        const qint64 doc = f.catalogue.addTemplate("模板", "00010001");
        const qint64 blank = f.catalogue.addTemplate("无文件", "00010001", " ");
        f.selectNode(node);
        f.selectRow(row == "@doc"     ? QString::number(doc)
                    : row == "@blank" ? QString::number(blank)
                                      : row);
        f.dialogs.scripts.enqueue([&](QDialog* dialog) {
            QCOMPARE(dialog->windowTitle(), QString("添加模板分类"));
            QCOMPARE(dialog->findChild<QLineEdit*>("Edt_DocSortNum")->text(), expected);
            fillAndPress({{"Edt_DocSortName", "  新类  "}, {"Mem_DocSortDes", " 说明 "}})(dialog);
        });
        f.trigger("ActAddClass");
        QCOMPARE(f.nameOf(expected), QString("新类"));
        QCOMPARE(sqlValue(f.catalogue.db(),
                          "select DocSortMemo from ZQ_DocInfoMaster where DocSortID = ?",
                          {expected})
                     .toString(),
                 QString("说明"));
        QVERIFY(f.node(expected));
        QCOMPARE(f.node(expected)->text(0), QString("新类"));
        QCOMPARE(f.selectedCode(), node); // the view comes back
        if (row.isEmpty())
            QVERIFY(f.row(expected).isValid());
    }

    // A save that fails keeps the dialog open with what was typed and says what failed, in
    // Chinese, with the engine's text in the details; OK again stores it.
    void failedSaveKeepsTheDialogAndItsInput_data() {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("column");
        QTest::addColumn<QString>("nameField");
        QTest::addColumn<QString>("memoField");
        QTest::newRow("add a class") << "ActAddClass"
                                     << "ZQ_DocInfoMaster"
                                     << "DocSortName"
                                     << "Edt_DocSortName"
                                     << "Mem_DocSortDes";
        QTest::newRow("rename a class") << "ActiEdit"
                                        << "ZQ_DocInfoMaster"
                                        << "DocSortName"
                                        << "Edt_DocSortName"
                                        << "Mem_DocSortDes";
        QTest::newRow("describe a template") << "ActeditDocDes"
                                             << "ZQ_DocTempDetail"
                                             << "DocCaption"
                                             << "Edt_DocName"
                                             << "Mem_DocDes";
    }
    void failedSaveKeepsTheDialogAndItsInput() {
        QFETCH(QString, action);
        QFETCH(QString, table);
        QFETCH(QString, column);
        QFETCH(QString, nameField);
        QFETCH(QString, memoField);
        Classes f;
        const qint64 doc = f.catalogue.addTemplate("模板", "0001");
        f.selectNode("0001");
        if (action == "ActeditDocDes")
            f.selectRow(QString::number(doc));
        const auto rename = [&](const QString& from, const QString& to) {
            runSql(f.catalogue.db(), "alter table " + from + " rename to " + to);
        };
        bool stayed = false;
        QString keptName, keptMemo;
        f.dialogs.scripts.enqueue([&](QDialog* dialog) {
            rename(table, table + "_away"); // every statement on it fails now
            fillAndPress({{nameField, "新名称"}, {memoField, "新说明"}})(dialog);
            stayed = dialog->result() != QDialog::Accepted;
            keptName = dialog->findChild<QLineEdit*>(nameField)->text();
            keptMemo = dialog->findChild<QPlainTextEdit*>(memoField)->toPlainText();
            rename(table + "_away", table);
            dialog->findChild<QPushButton*>("BtBtnOK")->click();
        });
        f.trigger(action.toUtf8());
        QVERIFY(stayed);
        QCOMPARE(keptName, QString("新名称"));
        QCOMPARE(keptMemo, QString("新说明"));
        QCOMPARE(f.dialogs.shown.size(), 2); // the dialog, then the one error
        const auto& error = f.dialogs.shown.last();
        QCOMPARE(error.kind, QString("error"));
        QCOMPARE(error.text, QString("保存失败：数据库操作失败。"));
        QVERIFY(error.details.contains(table, Qt::CaseInsensitive));
        QCOMPARE(sqlValue(f.catalogue.db(),
                          "select count(*) from " + table + " where " + column + " = ?", {"新名称"})
                     .toInt(),
                 1);
        const QAbstractItemModel* shown =
            action == "ActeditDocDes" ? f.list()->model() : f.tree()->model();
        QCOMPARE(shown
                     ->match(shown->index(0, 0), Qt::DisplayRole, "新名称", -1,
                             Qt::MatchExactly | Qt::MatchRecursive)
                     .size(),
                 1);
    }

    // Line breaks and tabs pasted into a one-line name are dropped; the cursor stays after the
    // pasted text.
    void pastedLineBreaksLeaveTheName() {
        ClassDialog dialog(nullptr);
        auto* name = dialog.findChild<QLineEdit*>("Edt_DocSortName");
        name->setText("旧");
        QApplication::clipboard()->setText("新\r\n类\t名");
        name->setCursorPosition(1);
        QTest::keyClick(name, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(name->text(), QString("旧新类名"));
        QCOMPARE(name->cursorPosition(), 4);
    }

    // Enter in the name edit accepts, as 确定 does; in the description it starts a new line;
    // on the focused 取消 it cancels.
    void enterAcceptsTheDialog() {
        ClassDialog dialog(nullptr);
        dialog.show();
        auto* name = dialog.findChild<QLineEdit*>("Edt_DocSortName");
        auto* memo = dialog.findChild<QPlainTextEdit*>("Mem_DocSortDes");
        QTest::keyClicks(memo, "a");
        QTest::keyClick(memo, Qt::Key_Return);
        QCOMPARE(memo->toPlainText(), QString("a\n"));
        name->setText("新类");
        QTest::keyClick(name, Qt::Key_Return);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));

        ClassDialog cancelled(nullptr);
        cancelled.show();
        auto* cancel = cancelled.findChild<QPushButton*>("BtBtnCancel");
        cancel->setFocus();
        QTest::keyClick(cancel, Qt::Key_Return);
        QVERIFY(!cancelled.isVisible());
        QCOMPARE(cancelled.result(), int(QDialog::Rejected));
    }

    // Another workstation takes the code shown in the dialog before OK is pressed.
    void addClassWhoseCodeWasTaken() {
        Classes f;
        f.dialogs.scripts.enqueue([&](QDialog* dialog) {
            f.catalogue.addClass("0003", "别处");
            fillAndPress({{"Edt_DocSortName", "新类"}})(dialog);
        });
        f.trigger("ActAddClass");
        QCOMPARE(f.nameOf("0003"), QString("别处"));
        QCOMPARE(f.nameOf("0004"), QString("新类"));
        QVERIFY(f.dialogs.texts("error").isEmpty());
    }

    void cancelChangesNothing() {
        Classes f;
        f.selectNode("0001");
        const QTreeWidgetItem* before = f.node("0001");
        const int classes = f.catalogue.count("ZQ_DocInfoMaster");
        f.trigger("ActAddClass"); // no script: cancelled
        f.trigger("ActiEdit");
        QCOMPARE(f.dialogs.texts("exec"), (QStringList{"添加模板分类", "修改模板分类名称"}));
        QCOMPARE(f.catalogue.count("ZQ_DocInfoMaster"), classes);
        QCOMPARE(f.node("0001"), before); // the tree was not rebuilt
        QCOMPARE(f.nameOf("0001"), QString("A"));
    }

    void renameTrimsBlanks_data() {
        QTest::addColumn<QString>("node");
        QTest::addColumn<QString>("row");
        QTest::newRow("selected node") << "0001" << QString();
        QTest::newRow("class row") << QString() << "0001";
    }
    void renameTrimsBlanks() {
        QFETCH(QString, node);
        QFETCH(QString, row);
        Classes f;
        f.selectNode(node);
        f.selectRow(row);
        f.dialogs.scripts.enqueue([](QDialog* dialog) {
            QCOMPARE(dialog->findChild<QLineEdit*>("Edt_DocSortNum")->text(), QString("0001"));
            QCOMPARE(dialog->findChild<QLineEdit*>("Edt_DocSortName")->text(), QString("A"));
            QCOMPARE(dialog->findChild<QPlainTextEdit*>("Mem_DocSortDes")->toPlainText(),
                     QString("甲"));
            fillAndPress({{"Edt_DocSortName", "  新名 "}, {"Mem_DocSortDes", " 新说明 "}})(dialog);
        });
        f.trigger("ActiEdit");
        QCOMPARE(f.nameOf("0001"), QString("新名"));
        QCOMPARE(f.node("0001")->text(0), QString("新名"));
        QCOMPARE(nodeRecord(f.node("0001")), (QStringList{"0001", "新名", "新说明"}));
        if (node.isEmpty())
            QCOMPARE(f.cell(f.row("0001").row(), kColCaption), QString("新名"));
    }

    void rootIsNeverRenamedOrDeleted() {
        Classes f;
        QVERIFY(!f.act("ActiEdit")->isEnabled());
        QVERIFY(!f.act("ActDelete")->isEnabled());
        f.window->classOperations().editClassNode(f.node(""));
        f.window->classOperations().deleteClassNode(f.node(""));
        QVERIFY(f.dialogs.shown.isEmpty());
    }

    // A tree holding a template (deep down) goes to the recycle bin with it, after a question
    // that says so; Ctrl+Z brings both back.
    void deleteWithTemplatesIntoTheBin_data() {
        QTest::addColumn<bool>("confirm");
        QTest::newRow("confirmed") << true;
        QTest::newRow("cancelled") << false;
    }
    void deleteWithTemplatesIntoTheBin() {
        QFETCH(bool, confirm);
        Classes f;
        const qint64 deep = f.catalogue.addTemplate("深", "000100010001");
        f.selectNode("0001");
        f.dialogs.answers.enqueue(confirm);
        f.trigger("ActDelete");
        QCOMPARE(f.dialogs.texts("ask"),
                 QStringList{"此文档模板分类或其子分类已有文档模板信息，确定将分类连同其中的模板"
                             "一起删除到回收站吗？"});
        QCOMPARE(f.catalogue.count("ZQ_DocInfoMaster"), confirm ? 1 : 4);
        QCOMPARE(f.catalogue.count("ZQ_DocTempDetail"), confirm ? 0 : 1);
        QCOMPARE(f.node("000100010001") != nullptr, !confirm);
        QCOMPARE(readBin(f.catalogue.db()).size(), confirm ? 1 : 0);
        if (!confirm)
            return;
        f.trigger("ActUndoMove");
        QCOMPARE(f.catalogue.count("ZQ_DocInfoMaster"), 4);
        QVERIFY(f.node("000100010001"));
        QCOMPARE(sqlValue(f.catalogue.db(),
                          "select DocSortID from ZQ_DocTempDetail where DocID = ?", {deep})
                     .toString(),
                 QString("000100010001"));
    }

    void deleteEmptySubtree_data() {
        QTest::addColumn<bool>("confirm");
        QTest::newRow("confirmed") << true;
        QTest::newRow("cancelled") << false;
    }
    void deleteEmptySubtree() {
        QFETCH(bool, confirm);
        Classes f;
        f.node("0001")->setExpanded(true);
        f.selectNode("00010001");
        f.selectNode("0001");
        f.dialogs.answers.enqueue(confirm);
        f.trigger("ActDelete");
        QCOMPARE(f.dialogs.texts("ask"),
                 QStringList{"确定删除该文档模板分类吗，此类别下的子类别同时将被删除？"});
        QCOMPARE(f.catalogue.count("ZQ_DocInfoMaster"), confirm ? 1 : 4);
        QCOMPARE(f.node("000100010001") == nullptr, confirm);
        QCOMPARE(f.selectedCode(), confirm ? QString() : QString("0001"));
        QCOMPARE(f.rows().size(), 1); // the root shows B; A shows A1
        QCOMPARE(f.rows().first().section('|', 0, 0), confirm ? QString("B") : QString("A1"));
    }

    // Another workstation deleted the class meanwhile: the user is told, the node goes.
    void deleteAClassAlreadyGone() {
        Classes f;
        f.selectNode("0002");
        runSql(f.catalogue.db(), "delete from ZQ_DocInfoMaster where DocSortID = '0002'");
        f.dialogs.answers.enqueue(true);
        f.trigger("ActDelete");
        QCOMPARE(f.dialogs.texts("inform"),
                 QStringList{"该文档模板分类已不存在，可能已被其他用户删除！"});
        QVERIFY(!f.node("0002"));
        QCOMPARE(f.selectedCode(), QString());
    }

    void deleteThroughAClassRow() {
        Classes f;
        f.selectNode("0001");
        f.selectRow("00010001");
        f.dialogs.answers.enqueue(true);
        f.trigger("ActDeleteDoc"); // a class row runs the class delete
        QVERIFY(!classExists(f.catalogue.db(), "00010001"));
        QVERIFY(!classExists(f.catalogue.db(), "000100010001"));
        QCOMPARE(f.selectedCode(), QString("0001"));
        QVERIFY(f.rows().isEmpty());
    }

    void classDialogKeysAndChecks() {
        test::ScriptedDialogs dialogs;
        test::ScriptedDialogsScope scope(dialogs);
        ClassDialog dialog(nullptr);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        auto* name = dialog.findChild<QLineEdit*>("Edt_DocSortName");
        QCOMPARE(QApplication::focusWidget(), name);

        name->setText("   ");
        QTest::keyClick(name, Qt::Key_Return); // as 确定
        QCOMPARE(dialogs.texts("inform"), QStringList{"模板分类名称不能为空，请重新输入！"});
        QVERIFY(dialog.isVisible());
        QCOMPARE(QApplication::focusWidget(), name);

        QTest::keyClick(name, Qt::Key_Escape);
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
    }
};

QTEST_MAIN(TestClassOperations)
#include "tst_classoperations.moc"
