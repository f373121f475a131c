// Registering a batch: the ticks of the batch dialog's tree, and what its OK registers, skips
// and reports.
#include "RegistrationFixture.h"
#include "catalogue/TemplateDocuments.h"
#include "catalogue/TemplateFiles.h"
#include "registration/BatchRegisterDialog.h"
#include "widgets/TreeNodes.h"

#include <QTest>

using namespace zq;
using namespace zq::test;

namespace {

// The captions of the ticked templates, in tree order.
QStringList tickedTemplates(QDialog& dialog) {
    QStringList captions;
    for (QTreeWidgetItem* item : treeItems(treeOf(dialog)))
        if (item->childCount() == 0 && imageIndex(item) != kClassImage &&
            item->checkState(0) == Qt::Checked)
            captions << item->text(0);
    return captions;
}

// Each node's check state in tree order: U unchecked, P partially checked, C checked.
QString checks(QTreeWidget* tree) {
    QStringList states;
    for (QTreeWidgetItem* item : treeItems(tree))
        states << item->text(0) + '=' + QStringLiteral("UPC")[item->checkState(0)];
    return states.join(' ');
}

} // namespace

class TestBatchRegistration : public QObject {
    Q_OBJECT

private slots:
    void checksCascadeAsTicked() {
        Fixture f;
        BatchRegisterDialog dialog(nullptr, f.catalogue.db());
        dialog.show();
        QTreeWidget* tree = treeOf(dialog);
        QCOMPARE(tree->currentItem(), tree->topLevelItem(0));
        openAll(tree);
        auto space = [&](const QString& text) {
            tree->setCurrentItem(node(dialog, text));
            QTest::keyClick(tree, Qt::Key_Space);
        };
        QCOMPARE(checks(tree), "文档模板分类信息=U 甲=U 甲一=U a1=U x=U y=U z=U 乙=U b=U 丙=U");
        space("a1"); // the only template of its class
        QCOMPARE(checks(tree), "文档模板分类信息=P 甲=P 甲一=C a1=C x=U y=U z=U 乙=U b=U 丙=U");
        space("甲"); // partially checked becomes checked, all the way down
        QCOMPARE(checks(tree), "文档模板分类信息=P 甲=C 甲一=C a1=C x=C y=C z=C 乙=U b=U 丙=U");
        space("x");
        QCOMPARE(checks(tree), "文档模板分类信息=P 甲=P 甲一=C a1=C x=U y=C z=C 乙=U b=U 丙=U");
        space("文档模板分类信息");
        QCOMPARE(checks(tree), "文档模板分类信息=C 甲=C 甲一=C a1=C x=C y=C z=C 乙=C b=C 丙=C");
        space("文档模板分类信息");
        QCOMPARE(checks(tree), "文档模板分类信息=U 甲=U 甲一=U a1=U x=U y=U z=U 乙=U b=U 丙=U");
    }

    // A class ticked before it is opened, directly or through an ancestor, gives its templates
    // its own tick when they come, whatever its sub-classes show.
    void ticksReachTemplatesOpenedLater() {
        Fixture f;
        BatchRegisterDialog dialog(nullptr, f.catalogue.db());
        dialog.show();
        QTreeWidget* tree = treeOf(dialog);
        node(dialog, "甲")->setCheckState(0, Qt::Checked);
        node(dialog, "甲")->setExpanded(true);
        QCOMPARE(checks(tree), "文档模板分类信息=P 甲=C 甲一=C x=C y=C z=C 乙=U 丙=U");
        tree->topLevelItem(0)->setCheckState(0, Qt::Checked);
        node(dialog, "甲一")->setCheckState(0, Qt::Unchecked);
        openAll(tree);
        QCOMPARE(checks(tree), "文档模板分类信息=P 甲=P 甲一=U a1=U x=C y=C z=C 乙=C b=C 丙=C");
    }

    // Another writer's changes refill the open tree: open classes, ticks (also of a class not
    // yet opened) and the selection stay; a selected template gone is said in the status line.
    void followsOtherWritersKeepingTicks() {
        Fixture f;
        BatchRegisterDialog dialog(nullptr, f.catalogue.db());
        dialog.show();
        QTreeWidget* tree = treeOf(dialog);
        node(dialog, "乙")->setCheckState(0, Qt::Checked);
        const auto find = [&](const QString& text) {
            return tree->findItems(text, Qt::MatchExactly | Qt::MatchRecursive).value(0);
        };
        find("甲")->setExpanded(true);
        find("x")->setCheckState(0, Qt::Checked);
        tree->setCurrentItem(find("y"));
        QCOMPARE(checks(tree), "文档模板分类信息=P 甲=P 甲一=U x=C y=U z=U 乙=C 丙=U");

        insertTemplate(f.catalogue.db(),
                       TemplateRecord{0, "w", f.files.add(), {}, "WORD", {}, "0001"});
        QTRY_VERIFY(find("w"));
        QCOMPARE(checks(tree), "文档模板分类信息=P 甲=P 甲一=U x=C y=U z=U w=U 乙=C 丙=U");
        QCOMPARE(tree->currentItem(), find("y"));
        QVERIFY(find("甲")->isExpanded());
        QCOMPARE(statusOf(dialog), QString());

        deleteTemplateAndFile(f.catalogue.db(), nodeRecord(find("y")).value(0).toLongLong());
        QTRY_VERIFY(!find("y"));
        QCOMPARE(statusOf(dialog), QString("该模板已被其他用户删除"));
        QCOMPARE(tree->currentItem(), find("甲"));
        find("乙")->setExpanded(true); // its own tick reaches its templates
        QCOMPARE(checks(tree), "文档模板分类信息=P 甲=P 甲一=U x=C z=U w=U 乙=C b=C 丙=U");
        QVERIFY(f.dialogs.shown.isEmpty());
    }

    void batchRegistersTheTickedTemplates_data() {
        QTest::addColumn<QString>("serial");
        QTest::addColumn<QStringList>("ticked");
        QTest::addColumn<QStringList>("missing");
        QTest::addColumn<QStringList>("refused");
        QTest::addColumn<QStringList>("attempted");
        QTest::addColumn<QStringList>("registered");
        QTest::addColumn<bool>("closed");
        QTest::addColumn<QString>("report"); // the message at the end, if any
        QTest::addColumn<QString>("status");

        const QStringList none;
        const QString refusedY = "甲\\y：平台拒绝注册（返回 -1）";
        const QString skipped = "：已跳过：同一分类中前面的模板未能注册";
        QTest::newRow("nothing ticked")
            << "P1" << none << none << none << none << none << false << ""
            << "没有勾选要注册的模板。";
        QTest::newRow("one template") << "P1" << QStringList{"y"} << none << none
                                      << QStringList{"y"} << QStringList{"y"} << true << ""
                                      << "";
        QTest::newRow("whole class, sub-classes first")
            << "P1" << QStringList{"甲"} << none << none << QStringList{"a1", "x", "y", "z"}
            << QStringList{"a1", "x", "y", "z"} << true << ""
            << "";
        QTest::newRow("second of three refused, next class still registered")
            << "P1" << QStringList{"x", "y", "z", "乙"} << none << QStringList{"y"}
            << QStringList{"x", "y", "b"} << QStringList{"x", "b"} << true
            << "已注册 2 个模板，2 个未注册：\n" + refusedY + "\n甲\\z" + skipped << "";
        QTest::newRow("last attempt refused")
            << "P1" << QStringList{"x", "y"} << none << QStringList{"y"} << QStringList{"x", "y"}
            << QStringList{"x"} << false << "已注册 1 个模板，1 个未注册：\n" + refusedY << "";
        QTest::newRow("missing file skips the rest of its class")
            << "P1" << QStringList{"文档模板分类信息"} << QStringList{"x"} << none
            << QStringList{"a1", "b"} << QStringList{"a1", "b"} << true
            << "已注册 2 个模板，3 个未注册：\n甲\\x：模板文件不存在\n甲\\y" + skipped + "\n甲\\z" +
                   skipped
            << "";
        QTest::newRow("empty class")
            << "P1" << QStringList{"丙"} << none << none << none << none << false << ""
            << "没有勾选要注册的模板。";
        QTest::newRow("test project")
            << "projecttest" << QStringList{"甲"} << none << none << none << none << false << ""
            << "测试项目不能注册模板。";
    }
    void batchRegistersTheTickedTemplates() {
        QFETCH(QString, serial);
        QFETCH(QStringList, ticked);
        QFETCH(QStringList, missing);
        QFETCH(QStringList, refused);
        QFETCH(QStringList, attempted);
        QFETCH(QStringList, registered);
        QFETCH(bool, closed);
        QFETCH(QString, report);
        QFETCH(QString, status);

        Fixture f(missing);
        f.host.fake.projectSerial = serial;
        f.host.refused = refused;
        // Classes are ticked unopened: OK finds their templates. What was ticked shows in a
        // dialog ticked the same way and then opened.
        const auto tick = [&](BatchRegisterDialog& dialog) {
            for (const QString& text : ticked)
                node(dialog, text)->setCheckState(0, Qt::Checked);
        };
        BatchRegisterDialog probe(nullptr, f.catalogue.db());
        tick(probe);
        openAll(treeOf(probe));
        const QStringList tickedBefore = tickedTemplates(probe);
        BatchRegisterDialog dialog(nullptr, f.catalogue.db());
        dialog.show();
        tick(dialog);
        clickOk(dialog);

        QCOMPARE(f.captionsOf("ZQDoResTypeProc"), attempted);
        QCOMPARE(f.captionsOf("RegisterDataExN"), registered);
        const QStringList names = f.host.fake.callNames();
        if (serial == "P1") {
            QCOMPARE(f.calls().mid(0, 2),
                     (QList<QStringList>{{"ZQGetCurPrjSerial"}, {"SetOldParentID", "-1"}}));
            if (attempted.isEmpty())
                QCOMPARE(names.size(), 2);
        } else {
            QCOMPARE(names, QStringList{"ZQGetCurPrjSerial"});
        }
        // Each accepted template takes the parent the host remembers, asked right after.
        for (qsizetype i = 0; i < names.size(); ++i)
            if (names[i] == "ZQGetCurUUID") {
                QCOMPARE(names[i - 1], "GetOldParentID");
                QCOMPARE(f.calls()[i][7], "7");
            }
        QCOMPARE(names.count("ZQGetCurUUID"), attempted.size() - refused.size());
        QCOMPARE(dialog.isVisible(), !closed);
        QCOMPARE(dialog.result() == QDialog::Accepted, closed);
        // What was registered is no longer ticked; everything else still is.
        QStringList left = tickedBefore;
        for (const QString& caption : registered)
            left.removeOne(caption);
        openAll(treeOf(dialog));
        QCOMPARE(tickedTemplates(dialog), left);
        QCOMPARE(f.dialogs.texts("warn"), report.isEmpty() ? QStringList() : QStringList{report});
        QCOMPARE(f.dialogs.shown.size(), report.isEmpty() ? 0 : 1);
        QCOMPARE(statusOf(dialog), status);
    }

    // OK again after a partial batch tries only what is still ticked.
    void retryRegistersOnlyWhatIsLeft() {
        Fixture f;
        f.host.refused = QStringList{"y"};
        BatchRegisterDialog dialog(nullptr, f.catalogue.db());
        dialog.show();
        node(dialog, "甲")->setCheckState(0, Qt::Checked);
        clickOk(dialog);
        QCOMPARE(f.captionsOf("RegisterDataExN"), (QStringList{"a1", "x"}));
        QVERIFY(dialog.isVisible());
        openAll(treeOf(dialog));
        QCOMPARE(checks(treeOf(dialog)),
                 "文档模板分类信息=P 甲=P 甲一=U a1=U x=U y=C z=C 乙=U b=U 丙=U");

        f.host.refused.clear();
        f.calls().clear();
        clickOk(dialog);
        QCOMPARE(f.captionsOf("RegisterDataExN"), (QStringList{"y", "z"}));
        QVERIFY(!dialog.isVisible());
    }

    // A long list is cut short in the message; the details area holds every entry.
    void longReportKeepsTheWholeListInTheDetails() {
        Fixture f;
        for (int i = 0; i < 14; ++i)
            f.catalogue.addTemplate(QStringLiteral("丢%1").arg(i), "0002", "gone.doc");
        BatchRegisterDialog dialog(nullptr, f.catalogue.db());
        dialog.show();
        node(dialog, "乙")->setCheckState(0, Qt::Checked);
        clickOk(dialog);
        QCOMPARE(f.dialogs.shown.size(), 1);
        const auto& shown = f.dialogs.shown.first();
        QVERIFY(shown.text.startsWith("已注册 1 个模板，14 个未注册：\n乙\\丢0：模板文件不存在\n"));
        QVERIFY(shown.text.endsWith("……（共 14 个，见详细信息）"));
        QCOMPARE(shown.details.split('\n').size(), 14);
        QVERIFY(shown.details.endsWith("乙\\丢13" +
                                       QStringLiteral("：已跳过：同一分类中前面的模板未能注册")));
    }

    void eachBatchAnswersForItself() {
        Fixture f;
        BatchRegisterDialog first(nullptr, f.catalogue.db());
        first.show();
        node(first, "x")->setCheckState(0, Qt::Checked);
        clickOk(first);
        QVERIFY(!first.isVisible());

        // A later batch that attempts nothing stays open after a successful one.
        BatchRegisterDialog second(nullptr, f.catalogue.db());
        second.show();
        clickOk(second);
        QVERIFY(second.isVisible());
    }
};

QTEST_MAIN(TestBatchRegistration)
#include "tst_batchregistration.moc"
