#include "FakeHost.h"
#include "OpenTree.h"
#include "ScriptedDialogs.h"
#include "TestCatalogue.h"
#include "catalogue/TemplateDocuments.h"
#include "catalogue/TemplateStore.h"
#include "registration/BatchRegisterDialog.h"
#include "registration/RegisterTemplateDialog.h"
#include "registration/TemplateRegistration.h"
#include "widgets/TreeNodes.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <QUuid>

using namespace zq;
using namespace zq::test;

namespace {

// The fake host, except that ZQDoResTypeProc refuses the templates named in `refused`; every
// call is still recorded by the fake.
class RefusingHost final : public HostPlatform {
public:
    FakeHost fake;
    QStringList refused;

    int ZQDoResTypeProc(const QString& typeName, const QString& caption, const QString& fullPath,
                        QString& resText) override {
        const int answer = fake.ZQDoResTypeProc(typeName, caption, fullPath, resText);
        return refused.contains(caption) ? -1 : answer;
    }
    int ZQImportNewRes(QString& name, QString& typeName, QString& description, QString& keyword,
                       const QString& storedPath, const QString& classPath, int flag) override {
        return fake.ZQImportNewRes(name, typeName, description, keyword, storedPath, classPath,
                                   flag);
    }
    void SetOldParentID(int id) override { fake.SetOldParentID(id); }
    int GetOldParentID() override { return fake.GetOldParentID(); }
    QString ZQGetCurUUID(const QString& memo, const QString& keywords, const QString& origin,
                         const QString& reserved, const QString& fullPath, const QString& module,
                         int parentId, int kind, int flag) override {
        return fake.ZQGetCurUUID(memo, keywords, origin, reserved, fullPath, module, parentId, kind,
                                 flag);
    }
    int RegisterDataExN(const QString& typeName, const QString& caption, const QString& uuid,
                        const QString& resText) override {
        return fake.RegisterDataExN(typeName, caption, uuid, resText);
    }
    int RegisterDataN(const QString& kind, const QString& memo, const QString& uuid) override {
        return fake.RegisterDataN(kind, memo, uuid);
    }
    QString GetDataInfo(int itemId) override { return fake.GetDataInfo(itemId); }
    QString LoadDataFileName(int itemId) override { return fake.LoadDataFileName(itemId); }
    QString GetZQTempPathY() override { return fake.GetZQTempPathY(); }
    QString ZQGetCurPrjSerial() override { return fake.ZQGetCurPrjSerial(); }
    QString CompressFile(const QString& folder, const QString& archive) override {
        return fake.CompressFile(folder, archive);
    }
    QString ExtractFile(const QString& archive, const QString& folder) override {
        return fake.ExtractFile(archive, folder);
    }
    void ViewFile(const QString& path, int mode, const QString& title) override {
        fake.ViewFile(path, mode, title);
    }
    QSqlDatabase GetBaseDBConnection() override { return fake.GetBaseDBConnection(); }
};

// Template files placed in the store for one test, under names no other test uses.
class StoredFiles {
public:
    ~StoredFiles() {
        for (const QString& name : m_names)
            QFile::remove(storedFilePath(name));
    }
    QString add() {
        const QString name =
            QStringLiteral("reg-%1.doc").arg(QUuid::createUuid().toString(QUuid::WithoutBraces));
        QDir().mkpath(templateStorePath());
        QFile file(storedFilePath(name));
        if (file.open(QIODevice::WriteOnly))
            file.write("template");
        m_names.append(name);
        return name;
    }

private:
    QStringList m_names;
};

// The catalogue 文档模板分类信息 { 甲 { 甲一 { a1 }, x, y, z }, 乙 { b }, 丙 {} }, each template
// with a stored file unless named in `missing`, with the fake host in place.
struct Fixture {
    RefusingHost host;
    ScriptedDialogs dialogs;
    ScriptedDialogsScope dialogsScope{dialogs};
    TestCatalogue catalogue;
    StoredFiles files;
    QHash<QString, QString> fileNames;

    explicit Fixture(const QStringList& missing = {}) {
        setHostPlatform(&host);
        catalogue.addClass("0001", "甲");
        catalogue.addClass("00010001", "甲一");
        catalogue.addClass("0002", "乙");
        catalogue.addClass("0003", "丙");
        const QList<QPair<QString, QString>> templates{
            {"x", "0001"}, {"y", "0001"}, {"z", "0001"}, {"a1", "00010001"}, {"b", "0002"}};
        for (const auto& [caption, code] : templates) {
            fileNames[caption] = missing.contains(caption) ? caption + "-missing.doc" : files.add();
            catalogue.addTemplate(caption, code, fileNames[caption], "WORD", "说明" + caption);
        }
    }
    ~Fixture() { setHostPlatform(nullptr); }

    QList<QStringList>& calls() { return host.fake.calls; }
    // The captions passed to one host operation, in call order.
    QStringList captionsOf(const QString& operation) {
        QStringList captions;
        for (const QStringList& call : calls())
            if (call.first() == operation)
                captions.append(call.value(2));
        return captions;
    }
};

QTreeWidget* treeOf(QDialog& dialog) {
    return dialog.findChild<QTreeWidget*>("tvwOrg");
}

// The node with the text; a template not shown yet is found with every class opened.
QTreeWidgetItem* node(QDialog& dialog, const QString& text) {
    return findOpening(treeOf(dialog), text);
}

// A real double-click on the node: the click selects it, the double-click reaches the handler.
void doubleClickNode(QDialog& dialog, const QString& text) {
    QTreeWidget* tree = treeOf(dialog);
    QTreeWidgetItem* item = node(dialog, text);
    tree->scrollToItem(item); // opens its parents, as a person would
    const QPoint at = tree->visualItemRect(item).center();
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(tree->viewport(), Qt::LeftButton, {}, at);
}

QString statusOf(QDialog& dialog) {
    return dialog.findChild<QLabel*>("LblStatus")->text();
}

// The captions of the ticked templates, in tree order.
QStringList tickedTemplates(QDialog& dialog) {
    QStringList captions;
    for (QTreeWidgetItem* item : treeItems(treeOf(dialog)))
        if (item->childCount() == 0 && imageIndex(item) != kClassImage &&
            item->checkState(0) == Qt::Checked)
            captions << item->text(0);
    return captions;
}

void clickOk(QDialog& dialog) {
    dialog.findChild<QPushButton*>("BtBtnOK")->click();
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

// Each node's check state in tree order: U unchecked, P partially checked, C checked.
QString checks(QTreeWidget* tree) {
    QStringList states;
    for (QTreeWidgetItem* item : treeItems(tree))
        states << item->text(0) + '=' + QStringLiteral("UPC")[item->checkState(0)];
    return states.join(' ');
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
        const TemplateRecord doc{9, "标题", "t.doc", "说明", "WORD", "关键", {}};
        QCOMPARE(registerTemplateDoc(
                     host, doc, remembered ? ParentIdSource::Remembered : ParentIdSource::Fixed),
                 result);
        QCOMPARE(host.calls, calls);
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
        QTest::addColumn<bool>("doubleClick");
        QTest::newRow("OK") << false;
        QTest::newRow("double-click") << true;
    }
    void registersAndOpensTheChosenTemplate() {
        QFETCH(bool, doubleClick);
        Fixture f;
        RegisterTemplateDialog dialog(nullptr, f.catalogue.db());
        dialog.show();
        if (doubleClick) {
            doubleClickNode(dialog, "y");
        } else {
            treeOf(dialog)->setCurrentItem(node(dialog, "y"));
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

QTEST_MAIN(TestRegistration)
#include "tst_registration.moc"
