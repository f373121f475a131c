#include "WindowFixture.h"
#include "catalogue/ClassCatalogue.h"
#include "catalogue/Sql.h"
#include "ui/ClassPickerDialog.h"
#include "ui/ManagerMoves.h"
#include "widgets/DragPicture.h"

#include <QDropEvent>
#include <QMimeData>
#include <QPushButton>
#include <QRubberBand>
#include <QTest>

using namespace zq;
using zq::test::WindowFixture;

namespace {

struct Moves : WindowFixture {
    qint64 planDoc = 0;
    qint64 deepDoc = 0;
    bool highlightFollows = false; // the last drag highlighted its target exactly when accepted

    Moves() {
        for (const char* code : {"0001", "00010001", "00010002", "0002", "00020001"})
            catalogue.addClass(code, QStringLiteral("类") + code);
        planDoc = catalogue.addTemplate("计划", "0001");
        deepDoc = catalogue.addTemplate("深处", "00010001");
        open();
        window->show();
        tree()->expandAll();
    }
    bool shown() { return QTest::qWaitForWindowExposed(window.get()); }

    QTreeView* view(const QString& name) const {
        return name == "tree" ? static_cast<QTreeView*>(tree()) : list();
    }
    QModelIndex item(const QString& viewName, const QString& id) const {
        return viewName == "tree" ? tree()->indexFromItem(node(id))
                                  : row(id == "@plan" ? QString::number(planDoc) : id);
    }
    // Answers the class picker: notes the classes it refuses, picks the target and confirms.
    // Picks the target and closes the picker with OK, or with the key pressed in its tree.
    void pickInPicker(const QString& target, QStringList* refused, int key = 0) {
        dialogs.scripts.enqueue([=](QDialog* dialog) {
            auto* picker = qobject_cast<ClassPickerDialog*>(dialog);
            QVERIFY(picker);
            for (QTreeWidgetItem* item : treeItems(picker->classTree())) {
                if (!(item->flags() & Qt::ItemIsSelectable))
                    refused->append(nodeClassCode(item));
                if (nodeClassCode(item) == target)
                    picker->classTree()->setCurrentItem(item);
            }
            if (key == 0)
                return dialog->findChild<QPushButton*>("RzBitBtn1")->click();
            dialog->show();
            QVERIFY(QTest::qWaitForWindowActive(dialog));
            QTest::keyClick(picker->classTree(), Qt::Key(key));
            QVERIFY(!dialog->isVisible());
        });
    }
    QString templateCode(qint64 docId) {
        return sqlValue(catalogue.db(), "select DocSortID from ZQ_DocTempDetail where DocID = ?",
                        {docId})
            .toString();
    }

    // Drags the item of one view over the target item of a view, as the mouse would, and drops
    // it there when asked and accepted. Gives whether the target accepted.
    bool drag(const QString& from, const QString& id, const QString& to, const QString& targetId,
              bool drop = false) {
        QTreeView* source = view(from);
        source->setCurrentIndex(item(from, id));
        QTreeView* target = view(to);
        const QPoint at = target->visualRect(item(to, targetId)).center();
        const std::unique_ptr<QMimeData> data(
            window->findChild<ManagerMoves*>()->dragData(source, item(from, id)));
        QDragEnterEvent enter(at, Qt::MoveAction, data.get(), Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target->viewport(), &enter);
        QDragMoveEvent over(at, Qt::MoveAction, data.get(), Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target->viewport(), &over);
        const auto* highlight = target->viewport()->findChild<QRubberBand*>();
        highlightFollows = over.isAccepted() == (highlight && highlight->isVisible());
        if (!drop || !over.isAccepted())
            return over.isAccepted();
        QDropEvent dropped(at, Qt::MoveAction, data.get(), Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target->viewport(), &dropped);
        QCoreApplication::processEvents(); // the move runs once the drag is over
        return dropped.isAccepted();
    }
};

} // namespace

class TestMoves : public QObject {
    Q_OBJECT

private slots:
    void acceptance_data() {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("dragged");
        QTest::addColumn<QString>("to");
        QTest::addColumn<QString>("target");
        QTest::addColumn<bool>("accepted");
        // The list shows class 0001: rows 00010001, 00010002 and the template "计划".
        QTest::newRow("root dragged") << "tree"
                                      << ""
                                      << "tree"
                                      << "0002" << false;
        QTest::newRow("class onto itself") << "tree"
                                           << "0001"
                                           << "tree"
                                           << "0001" << false;
        QTest::newRow("class onto its parent") << "tree"
                                               << "00010001"
                                               << "tree"
                                               << "0001" << false;
        QTest::newRow("class onto its subtree") << "tree"
                                                << "0001"
                                                << "tree"
                                                << "00010002" << false;
        QTest::newRow("top level onto the root") << "tree"
                                                 << "0001"
                                                 << "tree"
                                                 << "" << false;
        QTest::newRow("second level onto the root") << "tree"
                                                    << "00010001"
                                                    << "tree"
                                                    << "" << true;
        QTest::newRow("class onto another class") << "tree"
                                                  << "00010001"
                                                  << "tree"
                                                  << "0002" << true;
        QTest::newRow("template onto its own class") << "list"
                                                     << "@plan"
                                                     << "tree"
                                                     << "0001" << false;
        QTest::newRow("template onto the root") << "list"
                                                << "@plan"
                                                << "tree"
                                                << "" << false;
        QTest::newRow("template onto a class") << "list"
                                               << "@plan"
                                               << "tree"
                                               << "00020001" << true;
        QTest::newRow("template onto a class row") << "list"
                                                   << "@plan"
                                                   << "list"
                                                   << "00010001" << true;
        QTest::newRow("class row onto a template row") << "list"
                                                       << "00010001"
                                                       << "list"
                                                       << "@plan" << false;
        QTest::newRow("row onto itself") << "list"
                                         << "00010001"
                                         << "list"
                                         << "00010001" << false;
        QTest::newRow("class row onto a sibling row") << "list"
                                                      << "00010001"
                                                      << "list"
                                                      << "00010002" << true;
        QTest::newRow("class row onto the tree") << "list"
                                                 << "00010001"
                                                 << "tree"
                                                 << "0002" << true;
        QTest::newRow("tree onto the list") << "tree"
                                            << "0001"
                                            << "list"
                                            << "00010002" << false;
    }
    void acceptance() {
        QFETCH(QString, from);
        QFETCH(QString, dragged);
        QFETCH(QString, to);
        QFETCH(QString, target);
        QFETCH(bool, accepted);
        Moves f;
        QVERIFY(f.shown());
        f.selectNode("0001");
        QCOMPARE(f.drag(from, dragged, to, target), accepted);
        QVERIFY(f.highlightFollows);
        // Dragging over changes nothing.
        QCOMPARE(readClassRows(f.catalogue.db()).size(), 5);
        QCOMPARE(f.templateCode(f.planDoc), QString("0001"));
    }

    // The dragged item follows the cursor as a small label, whatever the row's width.
    void aDraggedItemShowsAsASmallLabel() {
        Moves f;
        const qint64 longDoc = f.catalogue.addTemplate(QString(200, QChar(0x5E95)), "0001");
        f.window->resize(1200, 600);
        QVERIFY(f.shown());
        f.selectNode("0001");
        QTreeView* list = f.list();
        const QModelIndex row = f.row(QString::number(longDoc));
        QVERIFY(row.isValid());
        const QPixmap longLabel = dragPicture(row, list);
        const QPixmap shortLabel = dragPicture(f.item("list", "@plan"), list);
        const qreal ratio = longLabel.devicePixelRatio();
        QVERIFY(!longLabel.isNull() && !shortLabel.isNull());
        QVERIFY(longLabel.width() / ratio < 320);
        QVERIFY(shortLabel.width() < longLabel.width());
        QVERIFY(longLabel.height() / ratio < 3 * list->fontMetrics().height());
    }

    void templateRowDroppedOnAClassRow() {
        Moves f;
        QVERIFY(f.shown());
        f.selectNode("0001");
        QVERIFY(f.drag("list", "@plan", "list", "00010002", true));
        QCOMPARE(f.templateCode(f.planDoc), QString("00010002"));
        QCOMPARE(f.selectedCode(), QString("0001"));
        QVERIFY(!f.row(QString::number(f.planDoc)).isValid()); // gone from the list of 0001
        QVERIFY(f.row("00010002").isValid());
        QVERIFY(f.dialogs.shown.isEmpty());
    }

    // The tree is rebuilt from the table; the selected class stays selected and open classes
    // stay open, and a moved class under its new code is shown where it went.
    void theViewAfterADrop() {
        Moves f;
        QVERIFY(f.shown());
        f.tree()->collapseAll();
        f.node("")->setExpanded(true);
        f.node("0002")->setExpanded(true);
        f.selectNode("00020001");
        QVERIFY(f.drag("tree", "00010002", "tree", "0002", true));
        QVERIFY(f.node("00020002"));
        QCOMPARE(f.node("00020002")->text(0), QString("类00010002"));
        QVERIFY(!f.node("00010002"));
        QVERIFY(f.node("0002")->isExpanded());
        // The drag selected the dragged class; it has a new code now, so its nearest class
        // above that still exists is selected, and the list shows it.
        QCOMPARE(f.selectedCode(), QString("0001"));
        QVERIFY(f.row("00010001").isValid());
        QVERIFY(!f.row("00010002").isValid());
    }

    void aFailedMoveIsShownAndTheTreeReloaded() {
        Moves f;
        QVERIFY(f.shown());
        // Not made by any window: a class below a missing level holds a code the move needs.
        f.catalogue.addClass("000200020001", "挡路");
        QVERIFY(f.drag("tree", "0001", "tree", "0002", true));
        QCOMPARE(f.dialogs.texts("error").size(), 1);
        QCOMPARE(f.templateCode(f.deepDoc), QString("00010001"));
        QCOMPARE(f.templateCode(f.planDoc), QString("0001"));
        QStringList classes;
        for (const ClassRecord& row : readClassRows(f.catalogue.db()))
            classes.append(row.code);
        QCOMPARE(classes,
                 (QStringList{"0001", "00010001", "00010002", "0002", "00020001", "000200020001"}));
        QCOMPARE(treeItems(f.tree()).size(), classes.size() + 1); // reloaded from the table
        QVERIFY(!f.act("ActUndoMove")->isEnabled());
    }

    // The keyboard's way: the picker offers only what a drop would accept.
    void keyboardMoveOfATemplateAndItsUndo() {
        Moves f;
        f.selectNode("0001");
        f.selectRow(QString::number(f.planDoc));
        QCOMPARE(f.act("ActMoveTo")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_M));
        QVERIFY(f.act("ActMoveTo")->isEnabled());
        QStringList refused;
        f.pickInPicker("00020001", &refused);
        f.trigger("ActMoveTo");
        QCOMPARE(refused, (QStringList{"", "0001"}));
        QCOMPARE(f.templateCode(f.planDoc), QString("00020001"));
        QCOMPARE(f.selectedCode(), QString("0001"));
        QVERIFY(!f.row(QString::number(f.planDoc)).isValid());

        f.trigger("ActUndoMove");
        QCOMPARE(f.templateCode(f.planDoc), QString("0001"));
        QCOMPARE(f.selectedCode(), QString("0001"));
        QVERIFY(f.row(QString::number(f.planDoc)).isValid());
        QVERIFY(f.dialogs.texts("error").isEmpty());
    }

    // Enter in the picker's tree moves to the class selected there; Esc moves nothing.
    void pickerClosedByKeys_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("code");
        QTest::newRow("Enter") << int(Qt::Key_Return) << "00020001";
        QTest::newRow("keypad Enter") << int(Qt::Key_Enter) << "00020001";
        QTest::newRow("Esc") << int(Qt::Key_Escape) << "0001";
    }
    void pickerClosedByKeys() {
        QFETCH(int, key);
        QFETCH(QString, code);
        Moves f;
        f.selectNode("0001");
        f.selectRow(QString::number(f.planDoc));
        QStringList refused;
        f.pickInPicker("00020001", &refused, key);
        f.trigger("ActMoveTo");
        QCOMPARE(f.dialogs.shown.size(), 1);
        QCOMPARE(f.templateCode(f.planDoc), code);
        QCOMPARE(f.row(QString::number(f.planDoc)).isValid(), code == "0001");
        QCOMPARE(f.act("ActUndoMove")->isEnabled(), code != "0001");
        QCOMPARE(f.selectedCode(), QString("0001"));
    }

    void keyboardMoveOfAClass() {
        Moves f;
        f.selectNode("0001");
        QVERIFY(f.act("ActMoveTo")->isEnabled());
        f.selectNode("");
        QVERIFY(!f.act("ActMoveTo")->isEnabled()); // the root never moves
        f.selectNode("00010001");
        QStringList refused;
        f.pickInPicker("0002", &refused);
        f.trigger("ActMoveTo");
        QCOMPARE(refused, (QStringList{"0001", "00010001"}));
        QCOMPARE(f.templateCode(f.deepDoc), QString("00020002"));
        QCOMPARE(f.node("00020002")->text(0), QString("类00010001"));
    }

    void undoTheLastMove() {
        Moves f;
        QVERIFY(f.shown());
        QVERIFY(!f.act("ActUndoMove")->isEnabled());
        f.selectNode("0001");
        QVERIFY(f.drag("tree", "00010001", "tree", "", true));
        QCOMPARE(f.templateCode(f.deepDoc), QString("0003"));
        QVERIFY(f.act("ActUndoMove")->isEnabled());
        QCOMPARE(f.act("ActUndoMove")->shortcut(), QKeySequence(QKeySequence::Undo));
        f.trigger("ActUndoMove");
        QCOMPARE(f.templateCode(f.deepDoc), QString("00010001"));
        QVERIFY(f.node("00010001"));
        QVERIFY(!f.node("0003"));
        QVERIFY(!f.act("ActUndoMove")->isEnabled());
        QVERIFY(f.dialogs.shown.isEmpty());
    }
};

QTEST_MAIN(TestMoves)
#include "tst_moves.moc"
