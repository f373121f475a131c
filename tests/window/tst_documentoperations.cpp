#include "TestFiles.h"
#include "WindowFixture.h"
#include "catalogue/Sql.h"
#include "catalogue/TemplateDocuments.h"
#include "catalogue/TemplateFiles.h"
#include "catalogue/TemplateStore.h"
#include "ui/AddTemplateDialog.h"
#include "ui/ClassDialog.h"
#include "ui/EditTemplateDialog.h"
#include "ui/TemplateEditing.h"
#include "util/Error.h"
#include "util/FileUtil.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QTextCursor>
#include <QUuid>

using namespace zq;
using zq::test::fillAndPress;
using zq::test::readFile;
using zq::test::WindowFixture;
using zq::test::writeFile;

namespace {

// The window on classes A > A1 > A11, with source files in a temporary folder. Files this
// fixture puts into the template store carry its own prefix and are removed at the end.
struct Docs : WindowFixture {
    QTemporaryDir sources;
    const QString prefix = "t" + QUuid::createUuid().toString(QUuid::Id128).left(12) + "-";

    Docs() {
        catalogue.addClass("0001", "A");
        catalogue.addClass("00010001", "A1");
        catalogue.addClass("000100010001", "A11");
        open();
    }
    ~Docs() {
        for (const QString& name : stored())
            QFile::remove(storedFilePath(name));
    }
    QString source(const QString& name) {
        const QString path = sources.filePath(prefix + name);
        writeFile(path, name.toUtf8());
        return path;
    }
    QStringList stored() const {
        return QDir(templateStorePath()).entryList({prefix + "*"}, QDir::Files, QDir::Name);
    }
    // A template in the store and the table.
    qint64 storedTemplate(const QString& caption, const QString& classCode, const QString& file,
                          const QString& memo = {}) {
        QDir().mkpath(templateStorePath());
        writeFile(storedFilePath(prefix + file), "x");
        return catalogue.addTemplate(caption, classCode, prefix + file, "WORD", memo);
    }
    void addThroughDialog(const QString& path, const QString& name = "  名称 ",
                          const QString& memo = " 说明 ") {
        dialogs.scripts.enqueue(
            fillAndPress({{"Edt_ChoDoc", path}, {"Edt_DocName", name}, {"Mem_DocDes", memo}}));
        trigger("ActAddDoc");
    }
    QVariant column(qint64 docId, const char* name) {
        return sqlValue(catalogue.db(),
                        QString("select %1 from ZQ_DocTempDetail where DocID = ?").arg(name),
                        {docId});
    }
};

} // namespace

class TestDocumentOperations : public QObject {
    Q_OBJECT

private slots:
    void copyToStoreNaming_data() {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QStringList>("present");
        QTest::addColumn<QString>("expected");
        QTest::newRow("free name") << "plan.doc" << QStringList{} << "plan.doc";
        QTest::newRow("a.doc, a0.doc taken")
            << "a.doc" << QStringList{"a.doc", "a0.doc"} << "a1.doc";
        QTest::newRow("no extension") << "readme" << QStringList{"readme"} << "readme0";
        QTest::newRow("two dots") << "a.b.xls" << QStringList{"a.b.xls"} << "a.b0.xls";
    }
    void copyToStoreNaming() {
        QFETCH(QString, source);
        QFETCH(QStringList, present);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        const QString from = dir.filePath("from/" + source);
        QDir().mkpath(dir.filePath("from"));
        writeFile(from, "content");
        const QString store = dir.filePath("store"); // missing: made on the way
        for (const QString& name : present) {
            QDir().mkpath(store);
            writeFile(store + "/" + name, "old");
        }
        const QString copy = copyToStore(from, store);
        QCOMPARE(copy, store + "/" + expected);
        QFile file(copy);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("content"));
    }

    void addTemplate_data() {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("classPath");
        QTest::addColumn<QString>("className");
        QTest::newRow("root") << QString() << rootNodeText() << QString();
        QTest::newRow("three levels down") << "000100010001" << rootNodeText() + "\\A\\A1\\A11"
                                           << "A11";
    }
    void addTemplate() {
        QFETCH(QString, code);
        QFETCH(QString, classPath);
        QFETCH(QString, className);
        Docs f;
        f.selectNode(code);
        const int rowsBefore = f.rowCount();
        f.addThroughDialog(f.source("plan.doc"));

        const QString storedPath = storedFilePath(f.prefix + "plan.doc");
        QCOMPARE(f.host.calls, (QList<QStringList>{{"ZQImportNewRes", "  名称 ", "", " 说明 ", "",
                                                    storedPath, classPath, "1"}}));
        QVERIFY(QFile::exists(storedPath));
        const qint64 docId =
            sqlValue(f.catalogue.db(), "select DocID from ZQ_DocTempDetail where DocFileName = ?",
                     {f.prefix + "plan.doc"})
                .toLongLong();
        QCOMPARE(f.column(docId, "DocCaption").toString(), QString("名称"));
        QCOMPARE(f.column(docId, "DocMemo").toString(), QString("说明"));
        QCOMPARE(f.column(docId, "DocSortID").toString(), code);
        QCOMPARE(f.column(docId, "DocTypeName").toString(), QString("WORD"));
        QCOMPARE(f.column(docId, "DocKeyWord").toString(), QString("关键字"));
        QCOMPARE(f.rowCount(), rowsBefore + 1);
        QCOMPARE(f.rows().last(), QString("名称|说明|%1|%2|Word文档|11").arg(className).arg(docId));
        QCOMPARE(f.cell(rowsBefore, kColFullPath), storedPath);
    }

    void hostRefusalLeavesNothing() {
        Docs f;
        f.host.importNewResResult = -1;
        f.addThroughDialog(f.source("plan.doc"));
        QCOMPARE(f.host.callNames(), QStringList{"ZQImportNewRes"});
        QCOMPARE(f.catalogue.count("ZQ_DocTempDetail"), 0);
        QVERIFY(f.stored().isEmpty());
        QCOMPARE(f.rows().size(), 1); // class A alone
    }

    // A failed write of the file's bytes into the catalogue catalogues nothing, leaves no copy
    // in the store, even one the host accepted, and keeps the dialog open with what was typed.
    // OK again adds the template.
    void failedAddKeepsTheDialogAndLeavesNoCopy() {
        Docs f;
        const QString path = f.source("plan.doc");
        const auto rename = [&](const QString& from, const QString& to) {
            runSql(f.catalogue.db(), "alter table " + from + " rename to " + to);
        };
        QStringList storedAfterFailure;
        QString keptName;
        f.dialogs.scripts.enqueue([&](QDialog* dialog) {
            // A view in the table's place can be read but not written, on both engines.
            rename("ZQ_DocTemplateFile", "ZQ_DocTemplateFile_away");
            runSql(f.catalogue.db(), "create view ZQ_DocTemplateFile as "
                                     "select distinct * from ZQ_DocTemplateFile_away");
            fillAndPress({{"Edt_ChoDoc", path}, {"Edt_DocName", "名称"}})(dialog);
            storedAfterFailure = f.stored();
            keptName = dialog->findChild<QLineEdit*>("Edt_DocName")->text();
            runSql(f.catalogue.db(), "drop view ZQ_DocTemplateFile");
            rename("ZQ_DocTemplateFile_away", "ZQ_DocTemplateFile");
            dialog->findChild<QPushButton*>("BtBtnOK")->click();
        });
        f.trigger("ActAddDoc");
        QCOMPARE(storedAfterFailure, QStringList{});
        QCOMPARE(keptName, QString("名称"));
        QCOMPARE(f.dialogs.texts("error"), QStringList{"保存失败：数据库操作失败。"});
        QCOMPARE(f.host.callNames(), (QStringList{"ZQImportNewRes", "ZQImportNewRes"}));
        QCOMPARE(f.catalogue.count("ZQ_DocTempDetail"), 1);
        QCOMPARE(f.stored(), QStringList{f.prefix + "plan.doc"});
    }

    // The popup of a class row adds into that row's class; the list, showing the parent, is
    // left as it was.
    void addFromAClassRowGoesIntoThatClass() {
        Docs f;
        f.selectNode("0001");
        f.selectRow("00010001");
        const int rowsBefore = f.rowCount();
        f.addThroughDialog(f.source("plan.doc"));
        QCOMPARE(sqlValue(f.catalogue.db(), "select DocSortID from ZQ_DocTempDetail").toString(),
                 QString("00010001"));
        QCOMPARE(f.host.calls.value(0).value(6), QString("文档模板分类信息\\A\\A1"));
        QCOMPARE(f.rowCount(), rowsBefore);
    }

    // A template whose stored file is gone is greyed and says so; one with its file is not,
    // nor, where the catalogue keeps the bytes, one whose copy this workstation lacks yet.
    void missingStoredFileIsMarked() {
        Docs f;
        const qint64 present = f.storedTemplate("有文件", "", "here.doc");
        const qint64 missing = f.catalogue.addTemplate("无文件", "", f.prefix + "gone.doc");
        const qint64 kept = f.storedTemplate("库中有文件", "", "kept.doc");
        insertTemplateFile(f.catalogue.db(), templateStorePath(), f.prefix + "kept.doc");
        QVERIFY(QFile::remove(storedFilePath(f.prefix + "kept.doc")));
        f.trigger("ActRefresh");
        QCOMPARE(f.row(QString::number(missing)).data(Qt::ToolTipRole).toString(),
                 QString("模板文件不存在"));
        QCOMPARE(f.row(QString::number(missing)).data(kImageRole).toInt(), int(kTemplateImage));
        QVERIFY(f.row(QString::number(present)).data(Qt::ToolTipRole).toString().isEmpty());
        // Where the catalogue keeps no bytes, a file gone from the store is missing.
        const bool keptGone = !keepsFileBytes(f.catalogue.db());
        QCOMPARE(f.row(QString::number(kept)).data(Qt::ToolTipRole).toString(),
                 keptGone ? QString("模板文件不存在") : QString());
        for (const auto& [doc, gone] :
             {std::pair{present, false}, {missing, true}, {kept, keptGone}})
            QCOMPARE(f.row(QString::number(doc)).data(ReportListModel::MissingRole).toBool(), gone);
    }

    void sameFileTwice() {
        Docs f;
        const QString path = f.source("plan.doc");
        f.addThroughDialog(path);
        f.addThroughDialog(path);
        QCOMPARE(f.catalogue.count("ZQ_DocTempDetail"), 2);
        QCOMPARE(f.stored(), (QStringList{f.prefix + "plan.doc", f.prefix + "plan0.doc"}));
        QCOMPARE(f.rows().size(), 3);
    }

    void deleteTemplate() {
        Docs f;
        const qint64 gone = f.storedTemplate("无文件", "", "gone.doc");
        const qint64 first = f.storedTemplate("甲", "", "shared.doc");
        const qint64 second = f.catalogue.addTemplate("乙", "", f.prefix + "shared.doc");
        QFile::remove(storedFilePath(f.prefix + "gone.doc"));
        f.trigger("ActRefresh");

        // A file already missing: the row goes all the same.
        f.selectRow(QString::number(gone));
        f.dialogs.answers.enqueue(true);
        f.trigger("ActDeleteDoc");
        QCOMPARE(f.dialogs.texts("ask"), QStringList{"确定删除该模板文件吗？"});
        QVERIFY(!f.row(QString::number(gone)).isValid());
        QVERIFY(f.column(gone, "DocID").isNull());
        QVERIFY(f.dialogs.texts("error").isEmpty());

        // A stored file named by two rows stays until the last of them goes.
        f.selectRow(QString::number(first));
        f.dialogs.answers.enqueue(true);
        f.trigger("ActDeleteDoc");
        QCOMPARE(f.stored(), QStringList{f.prefix + "shared.doc"});
        f.selectRow(QString::number(second));
        f.trigger("ActDeleteDoc"); // cancelled
        QVERIFY(f.row(QString::number(second)).isValid());
        f.dialogs.answers.enqueue(true);
        f.trigger("ActDeleteDoc");
        QVERIFY(f.stored().isEmpty());
        QCOMPARE(f.catalogue.count("ZQ_DocTempDetail"), 0);
        QCOMPARE(f.rows(), QStringList{"A|||0001||10"});
    }

    // A file name that is not a bare name names no stored file: nothing outside the store is
    // opened, registered or deleted, and the row is a template row like any other.
    void rowWithoutABareFileName_data() {
        QTest::addColumn<QString>("fileName");
        QTest::newRow("parent folder") << "../@victim";
        QTest::newRow("deeper") << "x/../../@victim";
        QTest::newRow("backslashes") << "..\\@victim";
        QTest::newRow("drive") << "c:@victim";
        QTest::newRow("control character") << "a\tb.doc";
        QTest::newRow("dot dot") << "..";
        QTest::newRow("blank") << " ";
        QTest::newRow("empty") << "";
    }
    void rowWithoutABareFileName() {
        QFETCH(QString, fileName);
        Docs f;
        // A file just outside the store, that a careless path would reach.
        const QString victimName = f.prefix + "victim.doc";
        const QString victim = QDir::cleanPath(templateStorePath() + "../" + victimName);
        QDir().mkpath(templateStorePath());
        writeFile(victim, "keep");
        const auto removeVictim = qScopeGuard([&] { QFile::remove(victim); });
        fileName.replace("@victim", victimName);
        QCOMPARE(storedFilePath(fileName), QString());

        const qint64 doc = f.catalogue.addTemplate("模板", "", "x");
        runSql(f.catalogue.db(), "update ZQ_DocTempDetail set DocFileName = ? where DocID = ?",
               {fileName, doc});
        f.trigger("ActRefresh");
        f.selectRow(QString::number(doc));
        QCOMPARE(f.row(QString::number(doc)).data(kImageRole).toInt(), 11);
        QVERIFY(f.act("ActeditDoc")->isEnabled());

        for (const char* action : {"ActeditDoc", "ActPreview", "ActReg"})
            f.trigger(action);
        QVERIFY(f.host.calls.isEmpty());
        QCOMPARE(f.dialogs.texts("inform"), QStringList(3, "该模板的文件不存在！"));

        f.dialogs.answers.enqueue(true);
        f.trigger("ActDeleteDoc");
        QVERIFY(!f.row(QString::number(doc)).isValid());
        QCOMPARE(f.catalogue.count("ZQ_DocTempDetail"), 0);
        QVERIFY(QFile::exists(victim));
    }

    // Each field takes no more than its column holds; a paste beyond it loses its excess only.
    void dialogsLimitFieldsToTheirColumns() {
        ClassDialog classDialog(nullptr);
        AddTemplateDialog addDialog(nullptr);
        EditTemplateDialog editDialog(nullptr);
        for (QDialog* dialog :
             std::initializer_list<QDialog*>{&classDialog, &addDialog, &editDialog}) {
            const bool forClass = dialog == &classDialog;
            auto* name =
                dialog->findChild<QLineEdit*>(forClass ? "Edt_DocSortName" : "Edt_DocName");
            name->setText(QString(250, u'名'));
            QCOMPARE(name->text(), QString(200, u'名'));
            auto* memo =
                dialog->findChild<QPlainTextEdit*>(forClass ? "Mem_DocSortDes" : "Mem_DocDes");
            memo->setPlainText("头尾");
            QTextCursor cursor = memo->textCursor();
            cursor.setPosition(1);
            memo->setTextCursor(cursor);
            memo->insertPlainText(QString(2100, 'x'));
            QCOMPARE(memo->toPlainText(), "头" + QString(1998, 'x') + "尾");
            memo->setPlainText(QString(2001, 'y'));
            QCOMPARE(memo->toPlainText(), QString(2000, 'y'));
        }
    }

    void editNameAndDescription() {
        Docs f;
        const qint64 doc = f.storedTemplate("旧名", "", "keep.doc", "旧说明");
        f.trigger("ActRefresh");
        f.selectRow(QString::number(doc));
        f.dialogs.scripts.enqueue([&](QDialog* dialog) {
            QCOMPARE(dialog->findChild<QLineEdit*>("Edt_DocNum")->text(), QString::number(doc));
            QCOMPARE(dialog->findChild<QLineEdit*>("Edt_DocName")->text(), QString("旧名"));
            fillAndPress({{"Edt_DocName", " 新名 "}, {"Mem_DocDes", "新说明 "}})(dialog);
        });
        f.trigger("ActeditDocDes");
        QCOMPARE(f.column(doc, "DocCaption").toString(), QString("新名"));
        QCOMPARE(f.column(doc, "DocMemo").toString(), QString("新说明"));
        QCOMPARE(f.column(doc, "DocFileName").toString(), f.prefix + "keep.doc");
        QCOMPARE(f.stored(), QStringList{f.prefix + "keep.doc"});
        QCOMPARE(f.cell(f.row(QString::number(doc)).row(), kColCaption), QString("新名"));

        // A class row's code is no document number: nothing is offered, nothing changes.
        const qint64 numbered = f.catalogue.addTemplate("编号一", "");
        f.catalogue.addClass("0002", QString::number(numbered));
        f.trigger("ActRefresh");
        f.selectRow("0001");
        QVERIFY(!f.act("ActeditDocDes")->isEnabled());
        f.trigger("ActeditDocDes");
        QCOMPARE(f.dialogs.texts("exec").size(), 1);
    }

    void viewerTitle_data() {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("memo");
        QTest::addColumn<QString>("title");
        QTest::newRow("edit, description") << "ActeditDoc"
                                           << "年度计划"
                                           << "年度计划.模板";
        QTest::newRow("edit, none") << "ActeditDoc" << QString() << ".模板";
        QTest::newRow("preview") << "ActPreview"
                                 << "说明"
                                 << "说明.模板";
    }
    void viewerTitle() {
        QFETCH(QString, action);
        QFETCH(QString, memo);
        QFETCH(QString, title);
        Docs f;
        const qint64 doc = f.catalogue.addTemplate("名", "", "v.doc", "WORD", memo);
        f.trigger("ActRefresh");
        f.selectRow(QString::number(doc));
        f.trigger(action.toUtf8());
        QCOMPARE(f.host.calls,
                 (QList<QStringList>{{"ViewFile", storedFilePath("v.doc"), "1", title}}));
        QVERIFY(!QApplication::overrideCursor());
    }

    // Without a program for the file's kind the viewer would do nothing: the person is told
    // where the file is, and its folder opens through the host's viewer when the desktop has a
    // program for folders.
    void noViewerIsSaid_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("programs"); // the desktop's kinds with a program
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QStringList>("viewed");
        const QByteArray word = "application/msword=office.desktop;\n";
        const QByteArray folders = "inode/directory=files.desktop;\n";
        const QString store = QFileInfo(storedFilePath("v.zqx")).absolutePath();
        QTest::newRow("a viewer") << "v.doc" << word << QString()
                                  << QStringList{storedFilePath("v.doc")};
        QTest::newRow("none, the folder opens")
            << "v.zqx" << word + folders << "choose" << QStringList{store};
        QTest::newRow("none, nor for folders") << "v.zqx" << word << "warn" << QStringList{};
    }
    void noViewerIsSaid() {
        QFETCH(QString, file);
        QFETCH(QByteArray, programs);
        QFETCH(QString, shown);
        QFETCH(QStringList, viewed);
        QTemporaryDir desktop;
        QVERIFY(QDir(desktop.path()).mkpath("applications"));
        writeFile(desktop.filePath("applications/mimeinfo.cache"), "[MIME Cache]\n" + programs);
        QList<std::pair<const char*, QByteArray>> saved;
        for (const char* name :
             {"XDG_DATA_HOME", "XDG_DATA_DIRS", "XDG_CONFIG_HOME", "XDG_CONFIG_DIRS"}) {
            saved.append({name, qgetenv(name)});
            qputenv(name, QFile::encodeName(desktop.path()));
        }
        const auto restore = qScopeGuard([&] {
            for (const auto& [name, value] : saved)
                qputenv(name, value);
        });

        Docs f;
        const qint64 doc = f.catalogue.addTemplate("名", "", file, "WORD", "说明");
        f.trigger("ActRefresh");
        f.selectRow(QString::number(doc));
        f.dialogs.choices.enqueue(0);
        f.trigger("ActeditDoc");
        QStringList opened;
        for (const QStringList& call : f.host.calls)
            opened.append(call.value(1));
        QCOMPARE(opened, viewed);
        QCOMPARE(f.dialogs.shown.size(), shown.isEmpty() ? 0 : 1);
        if (!shown.isEmpty()) {
            QCOMPARE(f.dialogs.shown.first().kind, shown);
            QVERIFY(f.dialogs.shown.first().text.contains(storedFilePath(file)));
        }
    }

    // The hidden "引用到平台使用" registers the selected row's file under the kind of its
    // extension.
    // An edit whose file another workstation changed meanwhile is never sent silently: the
    // person is asked, and each answer leaves the right bytes and rows.
    void editChangedMeanwhileIsAsked_data() {
        QTest::addColumn<int>("choice");
        QTest::addColumn<QByteArray>("catalogued");
        QTest::addColumn<QByteArray>("local");
        QTest::addColumn<QByteArray>("copy"); // the new template's bytes, if one was made
        QTest::newRow("keep mine") << 0 << QByteArray("mine") << QByteArray("mine") << QByteArray();
        QTest::newRow("keep theirs")
            << 1 << QByteArray("theirs") << QByteArray("theirs") << QByteArray();
        QTest::newRow("save as new")
            << 2 << QByteArray("theirs") << QByteArray("theirs") << QByteArray("mine");
        QTest::newRow("closed: asked again later")
            << -1 << QByteArray("theirs") << QByteArray("mine") << QByteArray();
    }
    void editChangedMeanwhileIsAsked() {
        QFETCH(int, choice);
        QFETCH(QByteArray, catalogued);
        QFETCH(QByteArray, local);
        QFETCH(QByteArray, copy);
        Docs f;
        if (!f.catalogue.isPostgres())
            QSKIP("the store's file is the embedded catalogue's only copy");
        const QSqlDatabase& db = f.catalogue.db();
        const QString file = f.prefix + "plan.doc";
        writeFile(f.sources.filePath(file), "first");
        addTemplateWithFile(db, TemplateRecord{0, "计划", file, {}, "WORD", {}, "0001"},
                            f.sources.path());
        TemplateEditing& editing = f.window->editing();
        editing.open(storedFilePath(file), "计划.模板");
        QCOMPARE(readFile(storedFilePath(file)), QByteArray("first"));

        // Another workstation's edit reaches the catalogue; this one's reaches the store.
        QTemporaryDir other;
        writeFile(other.filePath(file), "theirs");
        replaceTemplateFile(db, other.path(), file);
        writeFile(storedFilePath(file), "mine");
        f.dialogs.choices.enqueue(choice);
        editing.uploadEdited();

        QCOMPARE(f.dialogs.texts("choose"),
                 QStringList{"模板“计划”在您编辑期间已被其他用户修改并保存。|保留我的修改|"
                             "保留对方的修改|另存为新模板"});
        const auto bytesOf = [&](const QString& name) {
            return sqlValue(db, "select FileContent from ZQ_DocTemplateFile where DocFileName = ?",
                            {name})
                .toByteArray();
        };
        QCOMPARE(bytesOf(file), catalogued);
        QCOMPARE(readFile(storedFilePath(file)), local);
        const QVariant copyName = sqlValue(
            db, "select DocFileName from ZQ_DocTempDetail where DocCaption = '计划（副本）'");
        QCOMPARE(copyName.isValid(), !copy.isEmpty());
        if (copyName.isValid()) {
            QCOMPARE(bytesOf(copyName.toString()), copy);
            QCOMPARE(readFile(storedFilePath(copyName.toString())), copy);
        }
        // Settled, nothing is asked again; undecided, the next look asks again.
        editing.uploadEdited();
        QCOMPARE(f.dialogs.texts("choose").size(), choice < 0 ? 2 : 1);
    }

    void registerSelectedRow() {
        Docs f;
        const qint64 doc = f.catalogue.addTemplate("名", "", "底稿.XLS", "EXCEL", "年度说明");
        f.trigger("ActRefresh");
        f.selectRow(QString::number(doc));
        f.trigger("ActReg");
        QCOMPARE(f.host.calls,
                 (QList<QStringList>{{"ZQGetCurUUID", "年度说明", "", "WWR", "",
                                      storedFilePath("底稿.XLS"), "XMGL", "-1", "20", "1"},
                                     {"RegisterDataN", "EXCEL", "年度说明", f.host.uuid}}));
    }

    void doubleClick() {
        Docs f;
        const qint64 doc = f.catalogue.addTemplate("子模板", "00010001", "c.doc");
        f.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
        const auto doubleClickRow = [&](const QString& id) {
            const QPoint at = f.list()->visualRect(f.row(id)).center();
            QTest::mouseClick(f.list()->viewport(), Qt::LeftButton, {}, at);
            QTest::mouseDClick(f.list()->viewport(), Qt::LeftButton, {}, at);
        };
        doubleClickRow("0001");
        QCOMPARE(f.selectedCode(), QString("0001"));
        QCOMPARE(f.rows(), QStringList{"A1|||00010001||10"});
        doubleClickRow("00010001");
        QCOMPARE(f.selectedCode(), QString("00010001"));
        doubleClickRow(QString::number(doc));
        QCOMPARE(f.host.callNames(), QStringList{"ViewFile"});
    }

    void addDialogChecks_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("focus");
        QTest::newRow("both blank") << ""
                                    << ""
                                    << "请选择模板文件！"
                                    << "Edt_ChoDoc";
        QTest::newRow("path of blanks") << "  "
                                        << "名"
                                        << "请选择模板文件！"
                                        << "Edt_ChoDoc";
        QTest::newRow("name of blanks") << "@file"
                                        << "   "
                                        << "模板文件名称不能为空，请重新输入！"
                                        << "Edt_DocName";
        QTest::newRow("no such file") << "/nonexistent/x.doc"
                                      << "名"
                                      << "选择的模板文件不存在，请重新选择！"
                                      << "RzBitBtn1";
        QTest::newRow("a folder") << "@folder"
                                  << "名"
                                  << "选择的模板文件不存在，请重新选择！"
                                  << "RzBitBtn1";
        QTest::newRow("accepted") << "@file"
                                  << "名" << QString() << QString();
    }
    void addDialogChecks() {
        QFETCH(QString, path);
        QFETCH(QString, name);
        QFETCH(QString, message);
        QFETCH(QString, focus);
        QTemporaryDir dir;
        writeFile(dir.filePath("f.txt"), "x");
        path.replace("@file", dir.filePath("f.txt")).replace("@folder", dir.path());
        test::ScriptedDialogs dialogs;
        test::ScriptedDialogsScope scope(dialogs);
        AddTemplateDialog dialog(nullptr);
        dialog.findChild<QLineEdit*>("Edt_ChoDoc")->setText(path);
        dialog.findChild<QLineEdit*>("Edt_DocName")->setText(name);
        dialog.findChild<QPushButton*>("BtBtnOK")->click();
        QCOMPARE(dialogs.texts("inform"), message.isEmpty() ? QStringList() : QStringList{message});
        QCOMPARE(dialog.result(), int(message.isEmpty() ? QDialog::Accepted : QDialog::Rejected));
        if (!focus.isEmpty())
            QCOMPARE(dialog.focusWidget()->objectName(), focus);
    }

    void editDialogRefusesABlankName() {
        test::ScriptedDialogs dialogs;
        test::ScriptedDialogsScope scope(dialogs);
        EditTemplateDialog dialog(nullptr);
        dialog.setTemplate(7, "  ", "说明");
        dialog.findChild<QPushButton*>("BtBtnOK")->click();
        QCOMPARE(dialogs.texts("inform"), QStringList{"模板文件名称不能为空，请重新输入！"});
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QCOMPARE(dialog.focusWidget()->objectName(), QString("Edt_DocName"));
        QCOMPARE(dialog.findChild<QLineEdit*>("Edt_DocNum")->focusPolicy(), Qt::NoFocus);
    }

    void chooserFillsPathAndName_data() {
        QTest::addColumn<QString>("picked");
        QTest::addColumn<QString>("name");
        QTest::newRow("extension dropped") << "/data/plan.doc"
                                           << "plan";
        QTest::newRow("last dot only") << "/data/a.b.xls"
                                       << "a.b";
        QTest::newRow("no dot") << "/data/readme"
                                << "readme";
        QTest::newRow("cancelled") << QString() << "typed";
    }
    void chooserFillsPathAndName() {
        QFETCH(QString, picked);
        QFETCH(QString, name);
        test::ScriptedDialogs dialogs;
        test::ScriptedDialogsScope scope(dialogs);
        dialogs.files.enqueue(picked);
        AddTemplateDialog dialog(nullptr);
        dialog.findChild<QLineEdit*>("Edt_DocName")->setText("typed");
        dialog.findChild<QPushButton*>("RzBitBtn1")->click();
        QCOMPARE(dialogs.shown.size(), 1);
        QVERIFY(dialogs.shown[0].text.endsWith("|Word文档 (*.doc);;Excel文档 (*.xls);;"
                                               "Word文档 (*.docx);;Excel文档 (*.xlsx);;"
                                               "所有文件 (*)"));
        QCOMPARE(dialog.filePath(), picked);
        QCOMPARE(dialog.name(), name);
    }

    // The chooser opens where the last file was chosen, in a later dialog too; a cancelled
    // choice changes nothing. Enter on the focused browse button opens it as a click does.
    void chooserRemembersTheLastFolder() {
        test::ScriptedDialogs dialogs;
        test::ScriptedDialogsScope scope(dialogs);
        dialogs.files << "/data/工作底稿/plan.doc" << QString();
        for (int i = 0; i < 3; ++i) {
            AddTemplateDialog dialog(nullptr);
            QTest::keyClick(dialog.findChild<QPushButton*>("RzBitBtn1"), Qt::Key_Return);
        }
        QCOMPARE(dialogs.shown.size(), 3);
        QCOMPARE(dialogs.shown[1].title, QString("/data/工作底稿"));
        QCOMPARE(dialogs.shown[2].title, QString("/data/工作底稿"));
    }

    // Enter in the name field saves as OK does.
    void enterInTheNameSaves() {
        Docs f;
        const qint64 doc = f.storedTemplate("旧名", "", "keep.doc");
        f.trigger("ActRefresh");
        f.selectRow(QString::number(doc));
        f.dialogs.scripts.enqueue([&](QDialog* dialog) {
            dialog->show();
            auto* name = dialog->findChild<QLineEdit*>("Edt_DocName");
            name->setText("新名");
            QTest::keyClick(name, Qt::Key_Return);
            QVERIFY(!dialog->isVisible());
        });
        f.trigger("ActeditDocDes");
        QCOMPARE(f.column(doc, "DocCaption").toString(), QString("新名"));
    }

    void escapeWhileTypingCancels() {
        Docs f;
        const QString path = f.source("plan.doc");
        f.dialogs.scripts.enqueue([&](QDialog* dialog) {
            dialog->findChild<QLineEdit*>("Edt_ChoDoc")->setText(path);
            dialog->findChild<QLineEdit*>("Edt_DocName")->setText("名");
            auto* memo = dialog->findChild<QPlainTextEdit*>("Mem_DocDes");
            QTest::keyClicks(memo, "abc");
            QTest::keyClick(memo, Qt::Key_Return); // a new line, not OK
            QCOMPARE(dialog->result(), int(QDialog::Rejected));
            QCOMPARE(memo->toPlainText(), QString("abc\n"));
            dialog->setResult(QDialog::Accepted); // so that only Escape can reject it
            QTest::keyClick(memo, Qt::Key_Escape);
        });
        f.trigger("ActAddDoc");
        QVERIFY(f.host.calls.isEmpty());
        QCOMPARE(f.catalogue.count("ZQ_DocTempDetail"), 0);
        QVERIFY(f.stored().isEmpty());
    }
};

QTEST_MAIN(TestDocumentOperations)
#include "tst_documentoperations.moc"
