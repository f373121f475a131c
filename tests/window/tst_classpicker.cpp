#include "ScriptedDialogs.h"
#include "TestCatalogue.h"
#include "catalogue/ClassCatalogue.h"
#include "ui/ClassPickerDialog.h"
#include "widgets/TreeNodes.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

using namespace zq;
using zq::test::TestCatalogue;

namespace {

QTreeWidgetItem* nodeOf(const ClassPickerDialog& picker, const QString& code) {
    for (QTreeWidgetItem* item : treeItems(picker.classTree()))
        if (nodeClassCode(item) == code)
            return item;
    return nullptr;
}

QPushButton* button(const ClassPickerDialog& picker, const char* name) {
    return picker.findChild<QPushButton*>(QString::fromUtf8(name));
}

} // namespace

class TestClassPicker : public QObject {
    Q_OBJECT

private slots:
    void untouchedAnswersTheRoot_data() {
        QTest::addColumn<bool>("withClasses");
        QTest::newRow("empty class table") << false;
        QTest::newRow("with classes") << true;
    }
    void untouchedAnswersTheRoot() {
        QFETCH(bool, withClasses);
        TestCatalogue catalogue;
        if (withClasses) {
            catalogue.addClass("0001", "A");
            catalogue.addClass("00010001", "A1");
        }
        ClassPickerDialog picker(nullptr, catalogue.db());
        QCOMPARE(picker.objectName(), QString("Frm_modeTree"));
        QCOMPARE(picker.windowTitle(), QString("模板列表"));
        QCOMPARE(treeItems(picker.classTree()).size(), withClasses ? 3 : 1);
        QVERIFY(picker.classTree()->topLevelItem(0)->isExpanded());
        if (withClasses)
            QVERIFY(!nodeOf(picker, "0001")->isExpanded()); // deeper classes stay collapsed
        button(picker, "RzBitBtn1")->click();
        QCOMPARE(picker.result(), int(QDialog::Accepted));
        QCOMPARE(picker.selectedCode(), QString());
        QCOMPARE(picker.selectedPath(), QString("\\文档模板分类信息"));
    }

    // Enter presses the focused button and otherwise OK; Esc cancels wherever the focus is.
    void enterAcceptsEscCancels_data() {
        QTest::addColumn<QString>("focus");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("result");
        const int accepted = QDialog::Accepted, rejected = QDialog::Rejected;
        QTest::newRow("Enter in the tree") << "tvwOrg" << int(Qt::Key_Return) << accepted;
        QTest::newRow("keypad Enter in the tree") << "tvwOrg" << int(Qt::Key_Enter) << accepted;
        QTest::newRow("Enter on OK") << "RzBitBtn1" << int(Qt::Key_Return) << accepted;
        QTest::newRow("Enter on Cancel") << "RzBitBtn2" << int(Qt::Key_Return) << rejected;
        QTest::newRow("Esc in the tree") << "tvwOrg" << int(Qt::Key_Escape) << rejected;
        QTest::newRow("Esc on OK") << "RzBitBtn1" << int(Qt::Key_Escape) << rejected;
    }
    void enterAcceptsEscCancels() {
        QFETCH(QString, focus);
        QFETCH(int, key);
        QFETCH(int, result);
        TestCatalogue catalogue;
        catalogue.addClass("0001", "A");
        catalogue.addClass("00010001", "A1");
        ClassPickerDialog picker(nullptr, catalogue.db());
        picker.show();
        QVERIFY(QTest::qWaitForWindowActive(&picker));
        picker.classTree()->setCurrentItem(nodeOf(picker, "00010001"));
        auto* target = picker.findChild<QWidget*>(focus);
        target->setFocus();
        QTest::keyClick(target, Qt::Key(key));
        QVERIFY(!picker.isVisible());
        QCOMPARE(picker.result(), result);
        QCOMPARE(picker.selectedCode(), QString("00010001"));
    }

    // Enter that ends a label edit, or meets a class that cannot be chosen, leaves it open.
    void enterThatCannotAcceptKeepsItOpen() {
        TestCatalogue catalogue;
        catalogue.addClass("0001", "A");
        ClassPickerDialog picker(nullptr, catalogue.db());
        picker.refuseTargets([](const QString& code) { return code == "0001"; });
        picker.show();
        QVERIFY(QTest::qWaitForWindowActive(&picker));
        QTreeWidget* tree = picker.classTree();
        tree->setCurrentItem(tree->topLevelItem(0));
        QTest::keyClick(tree, Qt::Key_F2);
        auto* editor = tree->viewport()->findChild<QLineEdit*>();
        QVERIFY(editor);
        editor->setText("新根");
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_COMPARE(tree->topLevelItem(0)->text(0), QString("新根")); // committed later
        QVERIFY(picker.isVisible());

        tree->setCurrentItem(nodeOf(picker, "0001")); // refused: nothing selected
        QTest::keyClick(tree, Qt::Key_Return);
        QVERIFY(picker.isVisible());
        QCOMPARE(picker.result(), int(QDialog::Rejected));
    }

    void editedLabelChangesOnlyThePicker() {
        TestCatalogue catalogue;
        catalogue.addClass("0001", "A");
        catalogue.addClass("00010001", "B");
        ClassPickerDialog picker(nullptr, catalogue.db());
        QTreeWidgetItem* node = nodeOf(picker, "00010001");
        QVERIFY(node->flags() & Qt::ItemIsEditable);
        picker.classTree()->setCurrentItem(node);
        node->setText(0, "改名");
        QCOMPARE(picker.selectedCode(), QString("00010001"));
        QCOMPARE(picker.selectedPath(), QString("\\文档模板分类信息\\A\\改名"));
        QCOMPARE(classNameOfCode(catalogue.db(), "00010001"), QString("B"));
    }

    void refusedTargetsCannotBeChosen() {
        TestCatalogue catalogue;
        catalogue.addClass("0001", "A");
        catalogue.addClass("00010001", "A1");
        catalogue.addClass("0002", "B");
        ClassPickerDialog picker(nullptr, catalogue.db());
        picker.refuseTargets([](const QString& code) { return code.startsWith("0001"); });
        QPushButton* ok = button(picker, "RzBitBtn1");
        QVERIFY(ok->isEnabled()); // the root is still selected
        picker.classTree()->setCurrentItem(nodeOf(picker, "00010001"));
        QVERIFY(!nodeOf(picker, "00010001")->isSelected());
        QVERIFY(!ok->isEnabled());
        picker.classTree()->setCurrentItem(nodeOf(picker, "0002"));
        QVERIFY(ok->isEnabled());
        QCOMPARE(picker.selectedCode(), QString("0002"));

        // A refused root leaves nothing selected at first.
        ClassPickerDialog second(nullptr, catalogue.db());
        second.refuseTargets([](const QString& code) { return code.isEmpty(); });
        QVERIFY(!button(second, "RzBitBtn1")->isEnabled());
        QCOMPARE(second.selectedNode(), nullptr);
    }

    // Another writer's class changes reach the open picker: the tree is read again, the
    // selection, open nodes, a label edited here and the refused targets all kept.
    void followsOtherWriters() {
        TestCatalogue catalogue;
        catalogue.addClass("0001", "A");
        catalogue.addClass("00010001", "A1");
        catalogue.addClass("0002", "B");
        ClassPickerDialog picker(nullptr, catalogue.db());
        picker.refuseTargets([](const QString& code) { return code == "0002"; });
        nodeOf(picker, "0001")->setExpanded(true);
        picker.classTree()->setCurrentItem(nodeOf(picker, "00010001"));
        nodeOf(picker, "0001")->setText(0, "甲");

        updateClass(catalogue.db(), "00010001", "A1改", {});
        insertClass(catalogue.db(), "0003", "C", {});
        QTRY_VERIFY(nodeOf(picker, "0003"));
        QCOMPARE(nodeOf(picker, "00010001")->text(0), QString("A1改"));
        QCOMPARE(nodeOf(picker, "0001")->text(0), QString("甲"));
        QVERIFY(nodeOf(picker, "0001")->isExpanded());
        QCOMPARE(picker.selectedCode(), QString("00010001"));
        QVERIFY(!(nodeOf(picker, "0002")->flags() & Qt::ItemIsSelectable));

        QCOMPARE(deleteEmptyClassTree(catalogue.db(), "00010001"), ClassTreeDeletion::Deleted);
        QTRY_VERIFY(!nodeOf(picker, "00010001"));
        QCOMPARE(picker.selectedCode(), QString("0001"));
        QVERIFY(button(picker, "RzBitBtn1")->isEnabled());
    }
};

QTEST_MAIN(TestClassPicker)
#include "tst_classpicker.moc"
