// The history window from the manager: the toolbar's for the whole catalogue, the popups' for
// the object clicked, its filters, and its pages.

#include "TestFiles.h"
#include "WindowFixture.h"
#include "catalogue/CatalogueHistory.h"
#include "catalogue/ClassCatalogue.h"
#include "catalogue/FileHashes.h"
#include "catalogue/LocalCopies.h"
#include "catalogue/RecycleBin.h"
#include "catalogue/Sql.h"
#include "catalogue/TemplateDocuments.h"
#include "catalogue/TemplateFiles.h"
#include "catalogue/TemplateStore.h"
#include "catalogue/TemplateVersions.h"
#include "ui/ClassPickerDialog.h"
#include "ui/HistoryWindow.h"
#include "widgets/TreeNodes.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <QUuid>

using namespace zq;
using zq::test::fillAndPress;
using zq::test::readFile;
using zq::test::WindowFixture;
using zq::test::writeFile;

namespace {

// Class 0001 renamed, its template described, class 0002 renamed.
struct Changed : WindowFixture {
    qint64 doc = 0;
    Changed() {
        catalogue.addClass("0001", "A");
        catalogue.addClass("0002", "B");
        doc = catalogue.addTemplate("模板", "0001");
        updateClass(catalogue.db(), "0001", "甲", "");
        updateTemplateText(catalogue.db(), doc, "模板", "说明");
        updateClass(catalogue.db(), "0002", "乙", "");
        open();
    }
};

template <typename Control> Control* child(QDialog* dialog, const char* name) {
    auto* control = dialog->findChild<Control*>(QString::fromUtf8(name));
    if (!control)
        qFatal("no control %s", name);
    return control;
}

// The shown rows' "action name" columns, and the object filter the window opened with.
struct Seen {
    QString classCode;
    QString docId;
    QStringList rows;
};

Seen seenIn(QDialog* dialog) {
    auto* list = child<QTreeWidget>(dialog, "lstHistory");
    Seen seen{child<QLineEdit>(dialog, "edtClassCode")->text(),
              child<QLineEdit>(dialog, "edtDocId")->text(),
              {}};
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        seen.rows.append(list->topLevelItem(i)->text(3) + ' ' + list->topLevelItem(i)->text(5));
    return seen;
}

} // namespace

class TestHistory : public QObject {
    Q_OBJECT

private slots:
    void openedFromToolbarAndPopups() {
        Changed f;
        QVERIFY(
            f.window->findChild<QToolBar*>("TBToolbar2")->actions().contains(f.act("ActHistory")));
        for (const char* menu : {"TBPpMenuClass", "TBPpMenuDoc"})
            QVERIFY(
                f.window->findChild<QMenu*>(menu)->actions().contains(f.act("ActObjectHistory")));
        Seen seen;
        const auto look = [&](const char* action) {
            f.dialogs.scripts.enqueue([&](QDialog* dialog) {
                QCOMPARE(dialog->windowTitle(), QString("历史记录"));
                seen = seenIn(dialog);
            });
            f.trigger(action);
        };

        look("ActHistory");
        QCOMPARE(seen.rows, QStringList({"重命名 乙", "修改说明 模板", "重命名 甲"}));
        QCOMPARE(seen.classCode, QString());

        // A class takes in its templates' changes.
        f.selectNode("0001");
        look("ActObjectHistory");
        QCOMPARE(seen.classCode, QString("0001"));
        QCOMPARE(seen.rows, QStringList({"修改说明 模板", "重命名 甲"}));

        f.list()->setCurrentIndex(f.row(QString::number(f.doc)));
        look("ActObjectHistory");
        QCOMPARE(seen.docId, QString::number(f.doc));
        QCOMPARE(seen.rows, QStringList({"修改说明 模板"}));
    }

    // A page at a time; the filters query again from the newest.
    void pagesAndFilters() {
        Changed f;
        {
            Transaction bulk(f.catalogue.db());
            for (int i = 0; i < HistoryWindow::kPageRows + 50; ++i)
                recordChange(f.catalogue.db(), {HistoryAction::Added, "0003", 0, "批量"});
            bulk.commit();
        }
        HistoryWindow window(nullptr, f.catalogue.db());
        auto* more = child<QPushButton>(&window, "btnMore");
        QCOMPARE(seenIn(&window).rows.size(), HistoryWindow::kPageRows);
        QVERIFY(more->isEnabled());
        more->click();
        QCOMPARE(seenIn(&window).rows.size(), HistoryWindow::kPageRows + 53);
        QVERIFY(!more->isEnabled());

        child<QLineEdit>(&window, "edtClassCode")->setText("0002");
        child<QPushButton>(&window, "btnQuery")->click();
        QCOMPARE(seenIn(&window).rows, QStringList({"重命名 乙"}));
        child<QLineEdit>(&window, "edtClassCode")->clear();
        child<QLineEdit>(&window, "edtUser")->setText("nobody");
        child<QPushButton>(&window, "btnQuery")->click();
        QCOMPARE(seenIn(&window).rows, QStringList());
        child<QLineEdit>(&window, "edtUser")->clear();
        child<QCheckBox>(&window, "chkSince")->setChecked(true);
        child<QDateEdit>(&window, "dtSince")->setDate(QDate::currentDate().addDays(1));
        child<QPushButton>(&window, "btnQuery")->click();
        QCOMPARE(seenIn(&window).rows, QStringList());
        child<QCheckBox>(&window, "chkUntil")->setChecked(true);
        child<QDateEdit>(&window, "dtSince")->setDate(QDate::currentDate());
        child<QDateEdit>(&window, "dtUntil")->setDate(QDate::currentDate());
        child<QPushButton>(&window, "btnQuery")->click();
        QCOMPARE(seenIn(&window).rows.size(), HistoryWindow::kPageRows);
    }

    // The bin from the toolbar: a template back in its class, a class tree whose code was taken
    // back under the class picked, then the rest emptied after one question with the count.
    void recycleBinRestoresAndEmpties() {
        Changed f;
        QVERIFY(deleteTemplateAndFile(f.catalogue.db(), f.doc));
        QCOMPARE(deleteEmptyClassTree(f.catalogue.db(), "0002"), ClassTreeDeletion::Deleted);
        f.catalogue.addClass("0002", "新乙");
        f.catalogue.addTemplate("另一个", "0001");
        QVERIFY(deleteTemplateAndFile(f.catalogue.db(), f.catalogue.addTemplate("第三", "0001")));

        f.dialogs.answers.enqueue(true);
        f.dialogs.scripts.enqueue([&](QDialog* dialog) {
            QCOMPARE(dialog->windowTitle(), QString("回收站"));
            auto* items = child<QTreeWidget>(dialog, "lstBin");
            QCOMPARE(items->topLevelItemCount(), 3);
            QCOMPARE(items->topLevelItem(1)->text(3), QString("乙"));
            // The class: its code is taken, so it goes where the picker says.
            items->setCurrentItem(items->topLevelItem(1));
            f.dialogs.scripts.enqueue([](QDialog* picker) {
                auto* tree = static_cast<ClassPickerDialog*>(picker)->classTree();
                for (QTreeWidgetItem* node : treeItems(tree))
                    if (nodeClassCode(node) == "0001")
                        tree->setCurrentItem(node);
                picker->accept();
            });
            child<QPushButton>(dialog, "btnRestore")->click();
            items->setCurrentItem(items->topLevelItem(1)); // the template
            child<QPushButton>(dialog, "btnRestore")->click();
            QCOMPARE(items->topLevelItemCount(), 1);
            child<QPushButton>(dialog, "btnEmpty")->click();
            QCOMPARE(items->topLevelItemCount(), 0);
        });
        f.trigger("ActRecycleBin");
        const QStringList informed = f.dialogs.texts("inform");
        QCOMPARE(informed.size(), 3);
        QVERIFY2(informed[1].contains("00010001") && informed[1].contains("重新编码"),
                 qPrintable(informed[1]));
        QVERIFY2(informed[2].contains("0001"), qPrintable(informed[2]));
        QVERIFY2(f.dialogs.texts("ask").value(0).contains("1 项"),
                 qPrintable(f.dialogs.texts("ask").join('|')));
        // The tree shows what came back.
        QVERIFY(f.node("00010001"));
        QCOMPARE(classNameOfCode(f.catalogue.db(), "00010001"), QString("乙"));
        QCOMPARE(readTemplateRows(f.catalogue.db(), "d.DocID = ?", {f.doc}).size(), 1);
    }

    // "历史版本" of the template popup: the versions listed, one opened read-only through the
    // host's viewer, and one restored, the bytes it replaced listed in its place.
    void versionsOfTheTemplatePopup() {
        Changed f;
        QVERIFY(
            f.window->findChild<QMenu*>("TBPpMenuDoc")->actions().contains(f.act("ActVersions")));
        const QString file = "w" + QUuid::createUuid().toString(QUuid::Id128).left(12) + ".doc";
        const QString path = storedFilePath(file);
        QDir().mkpath(templateStorePath());
        writeFile(path, "old");
        const qint64 doc = addTemplateWithFile(
            f.catalogue.db(), {.caption = "带版本", .fileName = file, .classCode = "0001"},
            templateStorePath());
        recordRegistration(f.catalogue.db(), doc, "P-7", 5);
        writeFile(path, "newer");
        forgetHash(path);
        QVERIFY(
            uploadLocalCopy(f.catalogue.db(), templateStorePath(), file, sha256Hex("old"), "old"));
        QTemporaryDir temp;
        f.host.tempPath = temp.path();
        f.trigger("ActRefresh");
        f.selectNode("0001");
        f.selectRow(QString::number(doc));

        QStringList listed;
        f.dialogs.answers.enqueue(true);
        f.dialogs.scripts.enqueue([&](QDialog* dialog) {
            QCOMPARE(dialog->windowTitle(), QString("历史版本 - 带版本"));
            auto* versions = child<QTreeWidget>(dialog, "lstVersions");
            QCOMPARE(versions->topLevelItemCount(), 1);
            QCOMPARE(versions->topLevelItem(0)->text(3), sha256Hex("old").left(12));
            QCOMPARE(versions->topLevelItem(0)->text(4), QString("P-7"));
            versions->setCurrentItem(versions->topLevelItem(0));
            child<QPushButton>(dialog, "btnOpen")->click();
            child<QPushButton>(dialog, "btnRestore")->click();
            for (int i = 0; i < versions->topLevelItemCount(); ++i)
                listed.append(versions->topLevelItem(i)->text(3));
        });
        f.trigger("ActVersions");
        QCOMPARE(f.dialogs.texts("error"), QStringList());
        const QStringList viewed = f.host.calls.last();
        QCOMPARE(viewed.value(0), QString("ViewFile"));
        QCOMPARE(readFile(viewed.value(1)), QByteArray("old"));
        QVERIFY(!(QFileInfo(viewed.value(1)).permissions() & QFile::WriteOwner));
        QCOMPARE(readFile(localTemplateFile(f.catalogue.db(), file)), QByteArray("old"));
        QCOMPARE(listed, QStringList({sha256Hex("newer").left(12), sha256Hex("old").left(12)}));
        QFile::remove(path);
    }

    // Ctrl+Z undoes the last change of the window, whichever kind: a template's new texts, a
    // template deleted into the bin, a class tree deleted.
    void undoOfRenameAndDelete() {
        Changed f;
        f.catalogue.addClass("0003", "空");
        f.trigger("ActRefresh");
        QAction* undo = f.act("ActUndoMove");
        QVERIFY(!undo->isEnabled());
        const auto caption = [&] {
            return sqlValue(f.catalogue.db(),
                            "select DocCaption from ZQ_DocTempDetail "
                            "where DocID = ?",
                            {f.doc});
        };

        f.selectNode("0001");
        f.selectRow(QString::number(f.doc));
        f.dialogs.scripts.enqueue(fillAndPress({{"Edt_DocName", "新名"}}));
        f.trigger("ActeditDocDes");
        QCOMPARE(caption().toString(), QString("新名"));
        QCOMPARE(undo->text(), QString("撤销重命名"));
        QCOMPARE(undo->shortcut(), QKeySequence(QKeySequence::Undo));
        f.trigger("ActUndoMove");
        QCOMPARE(caption().toString(), QString("模板"));
        QVERIFY(!undo->isEnabled());

        f.selectRow(QString::number(f.doc));
        f.dialogs.answers.enqueue(true);
        f.trigger("ActDeleteDoc");
        QVERIFY(!caption().isValid());
        QCOMPARE(undo->text(), QString("撤销删除"));
        f.trigger("ActUndoMove");
        QCOMPARE(caption().toString(), QString("模板"));
        QVERIFY(f.row(QString::number(f.doc)).isValid());

        f.selectNode("0003");
        f.dialogs.answers.enqueue(true);
        f.trigger("ActDelete");
        QVERIFY(!classExists(f.catalogue.db(), "0003"));
        f.trigger("ActUndoMove");
        QVERIFY(classExists(f.catalogue.db(), "0003"));
        QVERIFY(f.node("0003"));
        QCOMPARE(readBin(f.catalogue.db()).size(), 0);
        QCOMPARE(f.dialogs.texts("error"), QStringList());
    }
};

QTEST_MAIN(TestHistory)
#include "tst_history.moc"
