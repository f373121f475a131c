#include "WindowFixture.h"
#include "catalogue/Sql.h"
#include "catalogue/TemplateDocuments.h"
#include "catalogue/TemplateFiles.h"
#include "catalogue/TemplateStore.h"
#include "ui/ClassPickerDialog.h"
#include "ui/SearchDialog.h"
#include "ui/TemplateEditing.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QRadioButton>
#include <QTest>
#include <QUuid>

using namespace zq;
using zq::test::WindowFixture;

namespace {

const QString kRoot = QStringLiteral("\\文档模板分类信息");

// Classes A > A1 and B; four templates, two of them with files in the store, one of those
// files named by a third row too.
struct Search : WindowFixture {
    const QString prefix = "s" + QUuid::createUuid().toString(QUuid::Id128).left(12) + "-";
    qint64 report = 0, plan = 0, copy = 0, voucher = 0;
    TemplateEditing editing{nullptr, catalogue.db()};

    Search() {
        catalogue.addClass("0001", "A");
        catalogue.addClass("00010001", "A1");
        catalogue.addClass("0002", "B");
        QDir().mkpath(templateStorePath());
        for (const char* file : {"report.doc", "plan.doc"}) {
            QFile out(storedFilePath(prefix + QString::fromUtf8(file)));
            QVERIFY(out.open(QIODevice::WriteOnly));
        }
        report = catalogue.addTemplate("审计报告模板", "00010001", prefix + "report.doc");
        plan = catalogue.addTemplate("审计计划", "0001", prefix + "plan.doc", "EXCEL");
        copy = catalogue.addTemplate("审计计划副本", "0002", prefix + "plan.doc");
        voucher = catalogue.addTemplate("会计凭证", "");
    }
    ~Search() {
        for (const char* file : {"report.doc", "plan.doc"})
            QFile::remove(storedFilePath(prefix + QString::fromUtf8(file)));
    }
    bool storedExists(const QString& file) const {
        return QFile::exists(storedFilePath(prefix + file));
    }
};

template <typename T> T* child(QObject* dialog, const char* name) {
    T* found = dialog->findChild<T*>(QString::fromUtf8(name));
    if (!found)
        qFatal("no child %s", name);
    return found;
}

void searchFor(SearchDialog& dialog, const QString& name) {
    child<QCheckBox>(&dialog, "ChkBoxModeName")->setChecked(!name.isNull());
    child<QLineEdit>(&dialog, "edtModeName")->setText(name);
    child<QPushButton>(&dialog, "BtnSerch")->click();
}

QString cell(const SearchDialog& dialog, int row, int column) {
    return dialog.resultList()->model()->index(row, column).data().toString();
}

int resultCount(const SearchDialog& dialog) {
    return dialog.resultList()->model()->rowCount();
}

QStringList column(const SearchDialog& dialog, int column) {
    QStringList texts;
    for (int i = 0; i < resultCount(dialog); ++i)
        texts.append(cell(dialog, i, column));
    return texts;
}

// The first cell of the template's result row; invalid when not listed.
QModelIndex resultRow(const SearchDialog& dialog, qint64 docId) {
    for (int i = 0; i < resultCount(dialog); ++i)
        if (cell(dialog, i, kResultDocId) == QString::number(docId))
            return dialog.resultList()->model()->index(i, 0);
    return {};
}

} // namespace

class TestSearch : public QObject {
    Q_OBJECT

private slots:
    void openFromManager_data() {
        QTest::addColumn<QString>("node");
        QTest::addColumn<QString>("row"); // "@doc": the template row
        QTest::addColumn<QString>("path");
        QTest::newRow("class in the tree") << "00010001" << QString() << kRoot + "\\A\\A1";
        QTest::newRow("class row in the list") << QString() << "0001" << kRoot + "\\A";
        QTest::newRow("template row: no class") << QString() << "@doc" << QString();
        QTest::newRow("the root") << QString() << QString() << kRoot;
    }
    void openFromManager() {
        QFETCH(QString, node);
        QFETCH(QString, row);
        QFETCH(QString, path);
        Search f;
        f.open();
        QVERIFY(f.act("ActSearch")->isEnabled());
        f.selectNode(node);
        f.selectRow(row == "@doc" ? QString::number(f.voucher) : row);
        int found = -1;
        f.dialogs.scripts.enqueue([&](QDialog* dialog) {
            QCOMPARE(dialog->objectName(), QString("Frm_findDoc"));
            QCOMPARE(dialog->windowTitle(), QString("查找"));
            QCOMPARE(child<QLineEdit>(dialog, "edtModeClass")->text(), path);
            QCOMPARE(child<QCheckBox>(dialog, "ChkBoxModeClass")->isChecked(), !path.isEmpty());
            QCOMPARE(child<QLineEdit>(dialog, "edtModeClass")->isEnabled(), !path.isEmpty());
            QVERIFY(!child<QLineEdit>(dialog, "edtModeName")->isEnabled());
            child<QPushButton>(dialog, "BtnSerch")->click();
            found = resultCount(*static_cast<SearchDialog*>(dialog));
        });
        f.trigger("ActSearch");
        // The root's path searches the whole catalogue.
        const int expected = path == kRoot || path.isEmpty() ? 4 : path.endsWith("A1") ? 1 : 2;
        QCOMPARE(found, expected);
    }

    void searchAndRefine() {
        Search f;
        SearchDialog dialog(nullptr, f.catalogue.db(), f.editing);
        QCOMPARE(child<QComboBox>(&dialog, "edtModetype")->count(), 2); // Word, Excel

        // Continuing within results that are not there does nothing at all.
        child<QCheckBox>(&dialog, "ChkBoxSer")->setChecked(true);
        searchFor(dialog, "审计");
        QVERIFY(f.dialogs.shown.isEmpty());
        child<QCheckBox>(&dialog, "ChkBoxSer")->setChecked(false);

        searchFor(dialog, "审计");
        QCOMPARE(column(dialog, kResultCaption),
                 (QStringList{"审计报告模板", "审计计划", "审计计划副本"}));
        QCOMPARE(cell(dialog, 0, kResultClassName), QString("A1"));
        QCOMPARE(cell(dialog, 1, kResultTypeCaption), QString("Excel表格"));
        QCOMPARE(cell(dialog, 0, kResultFullPath), storedFilePath(f.prefix + "report.doc"));
        QCOMPARE(dialog.lastResultIds(), (QList<qint64>{f.report, f.plan, f.copy}));

        // Nothing found: the message, and the results stay.
        searchFor(dialog, "无此模板");
        QCOMPARE(f.dialogs.texts("inform"), QStringList{"没有查找到指定的信息！"});
        QCOMPARE(dialog.lastResultIds().size(), 3);

        // Within the results, by pinyin initials of the class's name… of the template.
        child<QCheckBox>(&dialog, "ChkBoxSer")->setChecked(true);
        searchFor(dialog, "sjjh");
        QCOMPARE(column(dialog, kResultCaption), (QStringList{"审计计划", "审计计划副本"}));
        child<QRadioButton>(&dialog, "RadioMatChing")->setChecked(true);
        searchFor(dialog, "sjjh");
        QCOMPARE(column(dialog, kResultCaption), QStringList{"审计计划"});

        // A text too long to search for is refused with a message.
        child<QRadioButton>(&dialog, "RadioBlur")->setChecked(true);
        searchFor(dialog, QString(30000, QChar(u'长')));
        QCOMPARE(f.dialogs.texts("inform").size(), 2);
        QVERIFY(f.dialogs.texts("inform").last().contains("太长"));
        QVERIFY(f.dialogs.texts("error").isEmpty());
    }

    // Sorting reorders the rows, not the remembered identifiers; a deletion takes out exactly
    // the deleted one. The stored file goes with its last row.
    void deleteAfterSorting() {
        Search f;
        SearchDialog dialog(nullptr, f.catalogue.db(), f.editing);
        searchFor(dialog, "");
        QCOMPARE(dialog.lastResultIds(), (QList<qint64>{f.report, f.plan, f.copy, f.voucher}));
        QTreeView* list = dialog.resultList();
        list->header()->sectionClicked(kResultCaption);
        list->header()->sectionClicked(kResultCaption); // descending
        QCOMPARE(column(dialog, kResultCaption),
                 (QStringList{"审计计划副本", "审计计划", "审计报告模板", "会计凭证"}));

        QVERIFY(!dialog.action("actActDeleteDoc")->isEnabled());
        list->setCurrentIndex(resultRow(dialog, f.plan));
        dialog.action("actActDeleteDoc")->trigger(); // cancelled
        QCOMPARE(resultCount(dialog), 4);
        f.dialogs.answers.enqueue(true);
        dialog.action("actActDeleteDoc")->trigger();
        QCOMPARE(f.dialogs.texts("ask"),
                 (QStringList{"确定删除该模板文件吗？", "确定删除该模板文件吗？"}));
        QCOMPARE(dialog.lastResultIds(), (QList<qint64>{f.report, f.copy, f.voucher}));
        QVERIFY(!resultRow(dialog, f.plan).isValid());
        QCOMPARE(f.catalogue.count("ZQ_DocTempDetail"), 3);
        QVERIFY(f.storedExists("plan.doc")); // the copy still names it

        list->setCurrentIndex(resultRow(dialog, f.copy));
        f.dialogs.answers.enqueue(true);
        dialog.action("actActDeleteDoc")->trigger();
        QVERIFY(!f.storedExists("plan.doc"));

        // Within the results again, with no other criterion: exactly what is left.
        child<QCheckBox>(&dialog, "ChkBoxSer")->setChecked(true);
        searchFor(dialog, QString());
        QCOMPARE(column(dialog, kResultCaption), (QStringList{"审计报告模板", "会计凭证"}));

        list->setCurrentIndex(resultRow(dialog, f.report));
        dialog.action("actActeditDoc")->trigger();
        QCOMPARE(f.host.calls,
                 (QList<QStringList>{{"ViewFile", storedFilePath(f.prefix + "report.doc"), "1",
                                      "审计报告模板.模板"}}));
    }

    // Another writer's changes reach the results: rows are read again in their order, the
    // selection kept; a selected row gone is said in the status line, never a dialog.
    void resultRowsFollowOtherWriters() {
        Search f;
        SearchDialog dialog(nullptr, f.catalogue.db(), f.editing);
        searchFor(dialog, "");
        QTreeView* list = dialog.resultList();
        list->header()->sectionClicked(kResultCaption);
        list->header()->sectionClicked(kResultCaption); // descending
        list->setCurrentIndex(resultRow(dialog, f.plan));

        updateTemplateText(f.catalogue.db(), f.copy, "计划副本二", {});
        QTRY_COMPARE(column(dialog, kResultCaption),
                     (QStringList{"计划副本二", "审计计划", "审计报告模板", "会计凭证"}));
        QCOMPARE(selectedRowIndex(list), resultRow(dialog, f.plan).row());

        deleteTemplateAndFile(f.catalogue.db(), f.plan);
        QTRY_VERIFY(!resultRow(dialog, f.plan).isValid());
        QCOMPARE(column(dialog, kResultCaption),
                 (QStringList{"计划副本二", "审计报告模板", "会计凭证"}));
        QCOMPARE(dialog.lastResultIds(), (QList<qint64>{f.report, f.copy, f.voucher}));
        QCOMPARE(child<QLabel>(&dialog, "statusLine")->text(), QString("该模板已被其他用户删除"));
        QVERIFY(f.dialogs.shown.isEmpty());
    }

    // Enter or a double-click on a result row opens it as the toolbar button does, without
    // searching again; Enter in a field searches. Esc then closes the search.
    void keysOnTheResults_data() {
        QTest::addColumn<QString>("focus");
        QTest::addColumn<int>("key"); // 0: a double-click
        QTest::addColumn<bool>("opens");
        QTest::newRow("Enter on a row") << "lvwLog" << int(Qt::Key_Return) << true;
        QTest::newRow("keypad Enter on a row") << "lvwLog" << int(Qt::Key_Enter) << true;
        QTest::newRow("double-click on a row") << "lvwLog" << 0 << true;
        QTest::newRow("Enter in the name field") << "edtModeName" << int(Qt::Key_Return) << false;
    }
    void keysOnTheResults() {
        QFETCH(QString, focus);
        QFETCH(int, key);
        QFETCH(bool, opens);
        Search f;
        SearchDialog dialog(nullptr, f.catalogue.db(), f.editing);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        searchFor(dialog, "");
        child<QLineEdit>(&dialog, "edtModeName")->setText("会计");
        QTreeView* list = dialog.resultList();
        list->setCurrentIndex(resultRow(dialog, f.report));
        auto* target = child<QWidget>(&dialog, focus.toUtf8().constData());
        target->setFocus();
        if (key == 0) {
            const QPoint at = list->visualRect(resultRow(dialog, f.report)).center();
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
            QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
        } else {
            QTest::keyClick(target, Qt::Key(key));
        }
        QCOMPARE(f.host.calls.isEmpty(), !opens);
        if (opens)
            QCOMPARE(f.host.calls,
                     (QList<QStringList>{{"ViewFile", storedFilePath(f.prefix + "report.doc"), "1",
                                          "审计报告模板.模板"}}));
        const QStringList listed =
            opens ? QStringList{"审计报告模板", "审计计划", "审计计划副本", "会计凭证"}
                  : QStringList{"会计凭证"};
        QCOMPARE(column(dialog, kResultCaption), listed);
        QTest::keyClick(target, Qt::Key_Escape);
        QVERIFY(!dialog.isVisible());
    }

    void classFromThePicker() {
        Search f;
        SearchDialog dialog(nullptr, f.catalogue.db(), f.editing);
        dialog.setClassPath(kRoot + "\\B");
        QPushButton* browse = child<QPushButton>(&dialog, "BtnBro");
        QLineEdit* field = child<QLineEdit>(&dialog, "edtModeClass");

        browse->click(); // cancelled
        QCOMPARE(field->text(), kRoot + "\\B");

        f.dialogs.scripts.enqueue([](QDialog* picker) {
            QCOMPARE(picker->objectName(), QString("Frm_modeTree"));
            child<QPushButton>(picker, "RzBitBtn1")->click();
        });
        browse->click();
        QCOMPARE(field->text(), kRoot);

        f.dialogs.scripts.enqueue([](QDialog* picker) {
            QTreeWidget* tree = static_cast<ClassPickerDialog*>(picker)->classTree();
            for (QTreeWidgetItem* item : treeItems(tree))
                if (nodeClassCode(item) == "00010001")
                    tree->setCurrentItem(item);
            child<QPushButton>(picker, "RzBitBtn1")->click();
        });
        browse->click();
        QCOMPARE(field->text(), kRoot + "\\A\\A1");
        child<QPushButton>(&dialog, "BtnSerch")->click();
        QCOMPARE(column(dialog, kResultCaption), QStringList{"审计报告模板"});
    }

    // A deletion in the search shows in the manager's list once the search closes.
    void managerListFollows() {
        Search f;
        f.open();
        f.selectNode("0001");
        QVERIFY(f.row(QString::number(f.plan)).isValid());
        f.dialogs.scripts.enqueue([&](QDialog* dialog) {
            auto* search = static_cast<SearchDialog*>(dialog);
            child<QPushButton>(dialog, "BtnSerch")->click();
            search->resultList()->setCurrentIndex(resultRow(*search, f.plan));
            f.dialogs.answers.enqueue(true);
            search->action("actActDeleteDoc")->trigger();
        });
        f.trigger("ActSearch");
        QVERIFY(!f.row(QString::number(f.plan)).isValid());
        QCOMPARE(f.catalogue.count("ZQ_DocTempDetail"), 3);
    }
};

QTEST_MAIN(TestSearch)
#include "tst_search.moc"
