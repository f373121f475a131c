// Registering one template: the host's calls in order, the viewing and list-row services, and
// the single dialog's tree, choice and refusals.
#include "RegistrationFixture.h"
#include "catalogue/Sql.h"
#include "catalogue/TemplateDocuments.h"
#include "catalogue/TemplateStore.h"
#include "registration/BatchRegisterDialog.h"
#include "registration/RegisterTemplateDialog.h"
#include "registration/TemplateRegistration.h"
#include "widgets/TreeNodes.h"

#include <QTest>

using namespace zq;
using namespace zq::test;

namespace {

// A real double-click on the node: the click selects it, the double-click reaches the handler.
void doubleClickNode(QDialog& dialog, const QString& text) {
    QTreeWidget* tree = treeOf(dialog);
    QTreeWidgetItem* item = node(dialog, text);
    tree->scrollToItem(item); // opens its parents, as a person would
    const QPoint at = tree->visualItemRect(item).center();
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(tree->viewport(), Qt::LeftButton, {}, at);
}

// Each node as indentation, text and image index, in tree order.
QStringList shape(QTreeWidget* tree) {
    QStringList lines;
    for (QTreeWidgetItem* item : treeItems(tree)) {
        int depth = 0;
        for (QTreeWidgetItem* up = item->parent(); up; up = up->parent())
            ++depth;
        lines << QString(depth * 2, ' ') + item->text(0) + '/' + QString::number(imageIndex(item));
    }
    return lines;
}

} // namespace

class TestRegistration : public QObject {
    Q_OBJECT

private slots:
    void registerTemplateDocCallsTheHostInOrder_data() {
        QTest::addColumn<bool>("remembered");
        QTest::addColumn<int>("accepted");
        QTest::addColumn<int>("registered");
        QTest::addColumn<QList<QStringList>>("calls");
        QTest::addColumn<int>("result");

        const QString path = storedFilePath("t.doc");
        const QStringList proc{"ZQDoResTypeProc", "WORD", "标题", path, ""};
        const QStringList exn{"RegisterDataExN", "WORD", "标题", "UUID-1", "RES"};
        auto uuid = [&](const QString& parent) {
            return QStringList{"ZQGetCurUUID", "说明", "关键", "WWW", "",
                               path,           "XMGL", parent, "20",  "1"};
        };
        QTest::newRow("fixed parent")
            << false << 0 << 100 << QList<QStringList>{proc, uuid("-1"), exn} << 100;
        QTest::newRow("remembered parent, asked after the type is accepted")
            << true << 0 << 100 << QList<QStringList>{proc, {"GetOldParentID"}, uuid("7"), exn}
            << 100;
        QTest::newRow("type refused") << true << -2 << 100 << QList<QStringList>{proc} << -2;
        QTest::newRow("registration failed")
            << false << 0 << -3 << QList<QStringList>{proc, uuid("-1"), exn} << -3;
    }
    void registerTemplateDocCallsTheHostInOrder() {
        QFETCH(bool, remembered);
        QFETCH(int, accepted);
        QFETCH(int, registered);
        QFETCH(QList<QStringList>, calls);
        QFETCH(int, result);

        FakeHost host;
        host.resTypeProcResult = accepted;
        host.registerDataExNResult = registered;
        TestCatalogue catalogue;
        runSql(catalogue.db(),
               "insert into ZQ_DocTemplateFile(DocFileName, FileContent, FileSize, FileSha256, "
               "FileModified) values('t.doc', ?, 1, 'abc', 0)",
               {QByteArray("x")});
        const TemplateRecord doc{catalogue.addTemplate("标题", "", "t.doc"),
                                 "标题",
                                 "t.doc",
                                 "说明",
                                 "WORD",
                                 "关键",
                                 {}};
        QCOMPARE(
            registerTemplateDoc(host, catalogue.db(), doc, "P-1",
                                remembered ? ParentIdSource::Remembered : ParentIdSource::Fixed),
            result);
        QCOMPARE(host.calls, calls);
        // A registration taken records the hash of the file registered, with the project.
        QCOMPARE(sqlValue(catalogue.db(),
                          "select FileSha256 || '|' || PrjSerial || '|' || DataItemID "
                          "from ZQ_DocTemplateRegistration where DocID = ?",
                          {doc.docId})
                     .toString(),
                 result >= 0 ? QString("abc|P-1|%1").arg(result) : QString());
    }

    void viewTitleIsTheSecondOfThreeFields_data() {
        QTest::addColumn<QString>("info");
        QTest::addColumn<QString>("title");
        QTest::newRow("three fields") << "100@&@标题@&@说明"
                                      << "标题";
        QTest::newRow("four fields") << "1@&@标题@&@说明@&@x"
                                     << "标题";
        QTest::newRow("two fields") << "100@&@标题"
                                    << "";
        QTest::newRow("two fields and a separator at the end") << "100@&@标题@&@"
                                                               << "";
        QTest::newRow("empty middle field") << "1@&@@&@说明"
                                            << "";
        QTest::newRow("empty first field") << "@&@标题@&@说明"
                                           << "标题";
        QTest::newRow("only one closing separator dropped") << "100@&@标题@&@@&@"
                                                            << "标题";
        QTest::newRow("partial separator") << "1@&标题@&@说明"
                                           << "";
        QTest::newRow("empty") << ""
                               << "";
    }
    void viewTitleIsTheSecondOfThreeFields() {
        QFETCH(QString, info);
        QFETCH(QString, title);
        FakeHost host;
        host.dataInfo = info;
        viewRegisteredItem(host, 42);
        QCOMPARE(host.calls, (QList<QStringList>{{"GetDataInfo", "42"},
                                                 {"LoadDataFileName", "42"},
                                                 {"ViewFile", "/tmp/item.doc", "1", title}}));
    }

    void listRowKindFollowsTheExtension_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("kind");
        const QString store = templateStorePath();
        QTest::newRow("DOC") << store + "报告.DOC"
                             << "WORD";
        QTest::newRow("Xls") << store + "底稿.Xls"
                             << "EXCEL";
        QTest::newRow("docx") << store + "新.docx"
                              << "OTHER";
        QTest::newRow("no extension") << store + "README"
                                      << "OTHER";
        QTest::newRow("dot only in a folder") << "/tmp/v1.doc/README"
                                              << "OTHER";
        QTest::newRow("class row") << store + " "
                                   << "OTHER";
    }
    void listRowKindFollowsTheExtension() {
        QFETCH(QString, path);
        QFETCH(QString, kind);
        FakeHost host;
        registerListRow(host, path, "说明");
        QCOMPARE(host.calls, (QList<QStringList>{{"ZQGetCurUUID", "说明", "", "WWR", "", path,
                                                  "XMGL", "-1", "20", "1"},
                                                 {"RegisterDataN", kind, "说明", "UUID-1"}}));
    }

    void treeHoldsClassesAndTheirTemplates() {
        ScriptedDialogs dialogs;
        ScriptedDialogsScope dialogsScope(dialogs);
        TestCatalogue catalogue;
        catalogue.addClass("0001", "甲");
        catalogue.addClass("00010001", "甲一");
        catalogue.addClass("0002", "乙");
        const qint64 own = catalogue.addTemplate("甲的模板", "0001", "own.doc", "WORD", "说明");
        catalogue.addTemplate("根下", "");
        catalogue.addTemplate("孤儿", "0009");
        // A class whose code reads like the DocID of a template shown before it.
        const QString code = QString::number(catalogue.addTemplate("R", ""));
        catalogue.addClass(code, "数字类");
        catalogue.addTemplate("M", code);

        RegisterTemplateDialog dialog(nullptr, catalogue.db());
        QTreeWidget* tree = treeOf(dialog);
        // At first the classes, and the templates of the opened root only.
        QCOMPARE(shape(tree), (QStringList{"文档模板分类信息/10", "  甲/10", "    甲一/10",
                                           "  乙/10", "  根下/0", "  R/0", "数字类/10"}));
        QVERIFY(tree->topLevelItem(0)->isExpanded());
        QVERIFY(tree->topLevelItem(0)->isSelected());
        QCOMPARE(node(dialog, "乙")->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);
        // Opening a class adds its templates after its sub-classes, once.
        const QStringList whole{"文档模板分类信息/10",
                                "  甲/10",
                                "    甲一/10",
                                "    甲的模板/0",
                                "  乙/10",
                                "  根下/0",
                                "  R/0",
                                "数字类/10",
                                "  M/0"};
        openAll(tree);
        QCOMPARE(shape(tree), whole);
        for (QTreeWidgetItem* item : treeItems(tree))
            item->setExpanded(false);
        openAll(tree);
        QCOMPARE(shape(tree), whole);
        // A class opened empty no longer offers to open.
        QCOMPARE(node(dialog, "乙")->childIndicatorPolicy(),
                 QTreeWidgetItem::DontShowIndicatorWhenChildless);
        QCOMPARE(nodeRecord(node(dialog, "甲的模板")),
                 (QStringList{QString::number(own), "甲的模板", "own.doc", "说明", "WORD", ""}));
        QCOMPARE(nodeRecord(tree->topLevelItem(0)), (QStringList{"", "", ""}));
        QVERIFY(dialogs.shown.isEmpty());
    }

    void failedFillIsShownAndTheDialogStillOpens_data() {
        QTest::addColumn<bool>("batch");
        QTest::newRow("single") << false;
        QTest::newRow("batch") << true;
    }
    void failedFillIsShownAndTheDialogStillOpens() {
        QFETCH(bool, batch);
        ScriptedDialogs dialogs;
        ScriptedDialogsScope dialogsScope(dialogs);
        std::unique_ptr<QDialog> dialog;
        if (batch)
            dialog = std::make_unique<BatchRegisterDialog>(nullptr, QSqlDatabase());
        else
            dialog = std::make_unique<RegisterTemplateDialog>(nullptr, QSqlDatabase());
        QCOMPARE(dialogs.texts("error").size(), 1);
        dialog->show();
        QVERIFY(dialog->isVisible());
    }

    void registersAndOpensTheChosenTemplate_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("OK") << "OK";
        QTest::newRow("double-click") << "double-click";
        QTest::newRow("Enter in the tree") << "Enter";
    }
    void registersAndOpensTheChosenTemplate() {
        QFETCH(QString, how);
        Fixture f;
        RegisterTemplateDialog dialog(nullptr, f.catalogue.db());
        dialog.show();
        if (how == "double-click") {
            doubleClickNode(dialog, "y");
        } else {
            treeOf(dialog)->setCurrentItem(node(dialog, "y"));
            if (how == "Enter")
                QTest::keyClick(treeOf(dialog), Qt::Key_Return);
            else
                clickOk(dialog);
        }
        const QString path = storedFilePath(f.fileNames["y"]);
        QCOMPARE(f.calls(), (QList<QStringList>{{"ZQGetCurPrjSerial"},
                                                {"ZQDoResTypeProc", "WORD", "y", path, ""},
                                                {"ZQGetCurUUID", "说明y", "", "WWW", "", path,
                                                 "XMGL", "-1", "20", "1"},
                                                {"RegisterDataExN", "WORD", "y", "UUID-1", "RES"},
                                                {"GetDataInfo", "100"},
                                                {"LoadDataFileName", "100"},
                                                {"ViewFile", "/tmp/item.doc", "1", "标题"}}));
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QVERIFY(!dialog.isVisible());
        QVERIFY(f.dialogs.shown.isEmpty());
    }

    void refusalLeavesTheDialogOpen_data() {
        QTest::addColumn<QString>("serial");
        QTest::addColumn<QString>("chosen"); // empty: nothing selected
        QTest::addColumn<bool>("doubleClick");
        QTest::addColumn<int>("accepted");
        QTest::addColumn<int>("registered");
        QTest::addColumn<QStringList>("calls");
        QTest::addColumn<QString>("status");

        const QStringList serialOnly{"ZQGetCurPrjSerial"};
        const QString chooseTemplate = "请选择要注册的模板，而不是分类。";
        QTest::newRow("no project")
            << ""
            << "x" << false << 0 << 100 << serialOnly << "没有打开的项目，不能注册模板。";
        QTest::newRow("test project, mixed case")
            << "ProjectTest"
            << "x" << true << 0 << 100 << serialOnly << "测试项目不能注册模板。";
        QTest::newRow("nothing selected")
            << "P1"
            << "" << false << 0 << 100 << serialOnly << chooseTemplate;
        QTest::newRow("root") << "P1"
                              << "文档模板分类信息" << true << 0 << 100 << serialOnly
                              << chooseTemplate;
        QTest::newRow("class") << "P1"
                               << "甲一" << true << 0 << 100 << serialOnly << chooseTemplate;
        QTest::newRow("empty class") << "P1"
                                     << "丙" << false << 0 << 100 << serialOnly << chooseTemplate;
        QTest::newRow("missing file") << "P1"
                                      << "z" << true << 0 << 100 << serialOnly
                                      << "模板文件不存在：" + storedFilePath("z-missing.doc");
        QTest::newRow("type refused")
            << "P1"
            << "x" << false << -1 << 100 << QStringList{"ZQGetCurPrjSerial", "ZQDoResTypeProc"}
            << "平台没有接受该模板（返回 -1）。";
        QTest::newRow("registration failed") << "P1"
                                             << "x" << true << 0 << -1
                                             << QStringList{"ZQGetCurPrjSerial", "ZQDoResTypeProc",
                                                            "ZQGetCurUUID", "RegisterDataExN"}
                                             << "平台没有接受该模板（返回 -1）。";
    }
    // The dialog stays open and says why in its status line, never in a message box.
    void refusalLeavesTheDialogOpen() {
        QFETCH(QString, serial);
        QFETCH(QString, chosen);
        QFETCH(bool, doubleClick);
        QFETCH(int, accepted);
        QFETCH(int, registered);
        QFETCH(QStringList, calls);
        QFETCH(QString, status);

        Fixture f({"z"});
        f.host.fake.projectSerial = serial;
        f.host.fake.resTypeProcResult = accepted;
        f.host.fake.registerDataExNResult = registered;
        RegisterTemplateDialog dialog(nullptr, f.catalogue.db());
        dialog.show();
        QTreeWidget* tree = treeOf(dialog);
        if (chosen.isEmpty()) {
            tree->clearSelection();
            clickOk(dialog);
        } else if (doubleClick) {
            doubleClickNode(dialog, chosen);
        } else {
            tree->setCurrentItem(node(dialog, chosen));
            clickOk(dialog);
        }
        QCOMPARE(f.host.fake.callNames(), calls);
        QVERIFY(dialog.isVisible());
        QVERIFY(dialog.result() != QDialog::Accepted);
        QCOMPARE(statusOf(dialog), status);
        QVERIFY(f.dialogs.shown.isEmpty());
    }
};

QTEST_MAIN(TestRegistration)
#include "tst_registration.moc"
