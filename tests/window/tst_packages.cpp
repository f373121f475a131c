// Template packages from the manager window: ActExport with its dialog and the splash, and
// ActImport, with scripted dialogs and the stand-in host's archive code.

#include "Archive.h"
#include "HostArchives.h"
#include "TestFiles.h"
#include "WindowFixture.h"
#include "catalogue/Sql.h"
#include "catalogue/TemplateStore.h"
#include "exchange/PackageFolders.h"
#include "ui/PackageExportDialog.h"
#include "ui/ProgressSplash.h"
#include "util/FileUtil.h"
#include "widgets/UiReferences.h"

#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUuid>

using namespace zq;
using zq::test::WindowFixture;
using zq::test::writeFile;

namespace {

QList<ProgressSplash*> splashes() {
    return application()->findChildren<ProgressSplash*>("aSplash_Audit");
}

// A window on A (0001) > A1 (00010001) and B (0002), a template in A1 and one in B, both with
// their stored files; the host's archive calls do real work.
struct Packages : WindowFixture {
    QTemporaryDir dir;
    const QString p = "w" + QUuid::createUuid().toString(QUuid::Id128).left(10) + "-";
    const QString package = dir.filePath("out.TempFile");

    Packages() {
        useHostArchives(host);
        catalogue.addClass("0001", "A");
        catalogue.addClass("00010001", "A1");
        catalogue.addClass("0002", "B");
        QDir().mkpath(templateStorePath());
        for (const auto& [caption, code] : {std::pair{"甲一", "00010001"}, {"乙", "0002"}}) {
            writeFile(storedFilePath(p + caption + ".doc"), caption);
            catalogue.addTemplate(caption, code, p + caption + ".doc");
        }
        open();
    }
    ~Packages() {
        for (const QString& name : QDir(templateStorePath()).entryList({p + "*"}, QDir::Files))
            QFile::remove(storedFilePath(name));
    }
    // A script for the export dialog: ticks the nodes of the codes and presses a button.
    static std::function<void(QDialog*)> tick(QStringList codes, const char* button = "BtBtnOK") {
        return [codes, button](QDialog* dialog) {
            auto* tree = dialog->findChild<QTreeWidget*>("tvwOrg");
            for (QTreeWidgetItem* item : treeItems(tree))
                if (codes.contains(nodeClassCode(item)) && imageIndex(item) == 10)
                    item->setCheckState(0, Qt::Checked);
            dialog->findChild<QPushButton*>(button)->click();
        };
    }
};

} // namespace

class TestPackages : public QObject {
    Q_OBJECT

private slots:
    // The export runs behind the splash with the dialog disabled, writes what is ticked and
    // closes with the success message; an import into an empty catalogue restores it.
    void exportThenImport() {
        Packages f;
        bool managerEnabledAtDialog = false;
        bool dialogDisabledWhilePacking = false;
        QString hintWhilePacking;
        f.host.compressWith = [&](const QString& folder, const QString& archive) {
            QDialog* dialog = application()->findChild<PackageExportDialog*>();
            dialogDisabledWhilePacking = dialog && !dialog->isEnabled();
            hintWhilePacking = splashes().value(0)->hintText();
            return corvane::compressFolder(folder, archive);
        };
        f.dialogs.files.enqueue(f.package);
        f.dialogs.scripts.enqueue([&](QDialog* dialog) {
            managerEnabledAtDialog = f.window->isEnabled();
            Packages::tick({"00010001"})(dialog);
            QCOMPARE(dialog->result(), int(QDialog::Accepted));
            QCOMPARE(static_cast<PackageExportDialog*>(dialog)->exportState(),
                     PackageExportDialog::PackageWritten);
        });
        f.trigger("ActExport");

        QVERIFY(managerEnabledAtDialog);
        QVERIFY(dialogDisabledWhilePacking);
        QVERIFY2(hintWhilePacking.startsWith("正在导出文档模板... 1/1"),
                 qPrintable(hintWhilePacking));
        QCOMPARE(f.dialogs.texts("exec"), QStringList{"模板文件导出"});
        QCOMPARE(f.dialogs.shown[1].kind, QString("save"));
        QCOMPARE(f.dialogs.shown[1].text, QString("模板文件导出|*.TempFile (*.TempFile)|TempFile"));
        // The desktop folder when there is one, else the name alone.
        QVERIFY(f.dialogs.shown[1].title.endsWith("模板管理导出包.TempFile"));
        QCOMPARE(f.dialogs.shown.last().title, QString("系统提示"));
        QCOMPARE(f.dialogs.texts("inform"), QStringList{"模板文件导出成功！"});
        QVERIFY(f.host.calls.contains(QStringList{"SetOldParentID", "-1"}));
        QCOMPARE(splashes().size(), 1);
        QVERIFY(!splashes()[0]->isVisible());
        QVERIFY(f.window->isEnabled());

        runSql(f.catalogue.db(), "delete from ZQ_DocTempDetail");
        runSql(f.catalogue.db(), "delete from ZQ_DocInfoMaster");
        f.trigger("ActRefresh");
        f.dialogs.files.enqueue(f.package);
        f.trigger("ActImport");
        QCOMPARE(f.dialogs.shown.last().title, QString("系统提示"));
        QVERIFY(f.dialogs.shown.last().text.startsWith("模板文件导入成功！\n新增模板分类 2 个"));
        QCOMPARE(f.tree()->topLevelItem(0)->child(0)->child(0)->text(0), QString("A1"));
        QCOMPARE(f.selectedCode(), QString());
        QCOMPARE(splashes().size(), 1);
        QVERIFY(f.window->isEnabled());
    }

    // Cancelling the save dialog writes nothing and keeps the dialog open; a ticked template
    // without its stored file is left out, and a control character stored in a class name
    // travels as a space: a warning says both, and that no template went, and names them in
    // its details.
    void exportCancelledAndLeftOut() {
        Packages f;
        QFile::remove(storedFilePath(f.p + "乙.doc"));
        runSql(f.catalogue.db(), "delete from ZQ_DocTemplateFile where DocFileName = ?",
               {f.p + "乙.doc"});
        runSql(f.catalogue.db(), "update ZQ_DocInfoMaster set DocSortName = ? where DocSortID = ?",
               {"B\001b", "0002"});
        f.dialogs.scripts.enqueue([&](QDialog* dialog) {
            auto* exportDialog = static_cast<PackageExportDialog*>(dialog);
            Packages::tick({"0002"})(dialog); // no file chosen
            QCOMPARE(exportDialog->exportState(), PackageExportDialog::NothingExported);
            QCOMPARE(dialog->result(), int(QDialog::Rejected));
            f.dialogs.files.enqueue(f.package);
            dialog->findChild<QPushButton*>("BtBtnOK")->click();
            QCOMPARE(exportDialog->exportState(), PackageExportDialog::PackageWritten);
        });
        f.trigger("ActExport");
        QCOMPARE(f.host.callNames().count("SetOldParentID"), 2);
        QCOMPARE(f.dialogs.shown.last().kind, QString("warn"));
        QCOMPARE(f.dialogs.shown.last().text,
                 QString("模板文件包已写成，但其中没有任何模板文件：\n1 个模板没有导出（文件缺失、"
                         "不是普通文件或已损坏）。\n1 项名称或说明中的控制字符已替换为空格。"));
        QCOMPARE(f.dialogs.shown.last().details, "模板文件“乙”（" + f.p +
                                                     "乙.doc）：模板库中没有该文件\n"
                                                     "模板分类“B b”（0002）：控制字符已替换为空格");
    }

    // The staging folder cannot be made: the message, the dialog stays open, state failed.
    void exportStagingFolderFails() {
        Packages f;
        deleteDirectoryTree(stagingFolder());
        QDir().mkpath(QFileInfo(stagingFolder().chopped(1)).path());
        writeFile(stagingFolder().chopped(1), "a file in the way");
        f.dialogs.files.enqueue(f.package);
        f.dialogs.scripts.enqueue([&](QDialog* dialog) {
            Packages::tick({"0001"})(dialog);
            QCOMPARE(static_cast<PackageExportDialog*>(dialog)->exportState(),
                     PackageExportDialog::ExportFailed);
            QCOMPARE(dialog->result(), int(QDialog::Rejected));
            QVERIFY(dialog->isEnabled());
        });
        f.trigger("ActExport");
        QFile::remove(stagingFolder().chopped(1));
        QCOMPARE(f.dialogs.texts("error"), QStringList{"创建文件临时文件夹失败！"});
        QCOMPARE(f.dialogs.shown.last().title, QString("系统提示"));
        QVERIFY(!QFileInfo::exists(f.package));
    }

    // The save dialog itself: a name typed without the suffix is asked about under its final
    // name when that file exists, and kept only when the person agrees to replace it.
    void saveDialogAsksAboutTheFinalName_data() {
        QTest::addColumn<bool>("replace");
        QTest::newRow("replaced") << true;
        QTest::newRow("kept") << false;
    }
    void saveDialogAsksAboutTheFinalName() {
        QFETCH(bool, replace);
        QTemporaryDir dir;
        const QString existing = dir.filePath("out.TempFile");
        writeFile(existing, "old");
        QStringList asked;
        int choosers = 0;
        QTimer answer;
        connect(&answer, &QTimer::timeout, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            if (auto* chooser = qobject_cast<QFileDialog*>(modal)) {
                // Typed once; shown again after a refusal to replace, it is cancelled.
                if (++choosers > 1)
                    return chooser->reject();
                chooser->findChild<QLineEdit*>("fileNameEdit")->setText("out");
                QMetaObject::invokeMethod(chooser, "accept", Qt::QueuedConnection);
            } else if (auto* box = qobject_cast<QMessageBox*>(modal); box && box->isVisible()) {
                asked.append(box->text());
                box->button(replace ? QMessageBox::Yes : QMessageBox::No)->click();
            }
        });
        answer.start(20);
        const QString chosen = dialogs().chooseSaveFile(nullptr, "导出", dir.path(),
                                                        "*.TempFile (*.TempFile)", "TempFile");
        answer.stop();
        QCOMPARE(chosen, replace ? existing : QString());
        QCOMPARE(asked.size(), 1);
        QVERIFY2(asked[0].contains("out.TempFile"), qPrintable(asked[0]));
        QCOMPARE(choosers, replace ? 1 : 2);
    }

    void importFailures_data() {
        QTest::addColumn<QString>("file"); // "missing" or the bytes of the package
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("message");
        QTest::newRow("missing package") << "missing"
                                         << "inform"
                                         << "系统提示"
                                         << "文件包不存在！";
        QTest::newRow("failed extraction") << "not a zip"
                                           << "error"
                                           << "提示"
                                           << "导入模板文件失败！";
    }
    void importFailures() {
        QFETCH(QString, file);
        QFETCH(QString, kind);
        QFETCH(QString, title);
        QFETCH(QString, message);
        Packages f;
        if (file != "missing")
            writeFile(f.package, file.toUtf8());
        f.dialogs.files.enqueue(f.package);
        f.trigger("ActImport");
        QCOMPARE(f.dialogs.shown.last().kind, kind);
        QCOMPARE(f.dialogs.shown.last().title, title);
        QCOMPARE(f.dialogs.shown.last().text, message);
        QCOMPARE(f.catalogue.count("ZQ_DocInfoMaster"), 3);
        QVERIFY(f.window->isEnabled());
        for (ProgressSplash* splash : splashes())
            QVERIFY(!splash->isVisible());
    }

    // The splash: the width rule, one window reused, no animation without a clip, and a stop
    // without an owner form only hiding it.
    void splash() {
        WindowFixture f;
        f.open();
        {
            SplashProcess process;
            process.start("短", nullptr);
            ProgressSplash* splash = splashes().value(0);
            QVERIFY(splash && splash->isVisible());
            QCOMPARE(splash->windowTitle(), QString("正在进行数据处理"));
            auto* hint = splash->findChild<QLabel*>("lbHint");
            const int narrow = splash->width();
            QCOMPARE(narrow, hint->x() + hint->width() + 15);
            process.setHint("一条长得多的提示文字，让闪屏变宽");
            QVERIFY(splash->width() > narrow);
            QCOMPARE(splash->width(), hint->x() + hint->width() + 15);
            QVERIFY(!splash->animationArea()->movie());
            process.stop();
            QVERIFY(!splash->isVisible());
        }
        SplashProcess second;
        second.start("再来", f.window.get());
        QVERIFY(!f.window->isEnabled());
        second.start("第二次", nullptr); // keeps the first owner
        second.stop();
        second.stop();
        QVERIFY(f.window->isEnabled());
        QCOMPARE(splashes().size(), 1);
    }
};

QTEST_MAIN(TestPackages)
#include "tst_packages.moc"
