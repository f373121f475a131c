#pragma once

#include "FakeHost.h"
#include "ScriptedDialogs.h"
#include "TestCatalogue.h"
#include "ui/ManagerWindow.h"
#include "widgets/ReportListModel.h"
#include "widgets/TreeNodes.h"

#include <QAction>
#include <QDialog>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeView>
#include <QTreeWidget>
#include <memory>

namespace zq::test {

// A manager window on a fresh catalogue, with a recording host and scripted dialogs.
struct WindowFixture {
    TestCatalogue catalogue;
    FakeHost host;
    FakeHostScope hostScope{host};
    ScriptedDialogs dialogs;
    ScriptedDialogsScope dialogsScope{dialogs};
    std::unique_ptr<ManagerWindow> window;

    ManagerWindow& open() {
        window = std::make_unique<ManagerWindow>(nullptr, catalogue.db());
        return *window;
    }
    QTreeWidget* tree() const { return window->classTree(); }
    QTreeView* list() const { return window->docList(); }
    int rowCount() const { return list()->model()->rowCount(); }
    QString cell(int row, int column) const {
        return list()->model()->index(row, column).data().toString();
    }
    // An action by its object name, the label the host and these tests know it by.
    QAction* act(const char* name) const {
        return window->findChild<QAction*>(QString::fromUtf8(name), Qt::FindDirectChildrenOnly);
    }
    void trigger(const char* name) const { act(name)->trigger(); }

    // The first node of the class, the root for the empty code.
    QTreeWidgetItem* node(const QString& code) const {
        for (QTreeWidgetItem* item : treeItems(tree()))
            if (nodeClassCode(item) == code)
                return item;
        return nullptr;
    }
    QString selectedCode() const {
        const QTreeWidgetItem* item = tree()->selectedItems().value(0);
        return item ? nodeClassCode(item) : QStringLiteral("<none>");
    }
    void selectNode(const QString& code) const { tree()->setCurrentItem(node(code)); }
    // The first cell of the list's row of the class code or DocID; invalid when not listed.
    QModelIndex row(const QString& id) const {
        for (int i = 0; i < rowCount(); ++i)
            if (cell(i, kColRowId) == id)
                return list()->model()->index(i, 0);
        return {};
    }
    void selectRow(const QString& id) const { list()->setCurrentIndex(row(id)); }

    // Each row as "caption|memo|class|id|type caption|image".
    QStringList rows() const {
        QStringList result;
        for (int i = 0; i < rowCount(); ++i) {
            QStringList texts;
            for (int column = 0; column < kColFullPath; ++column)
                texts.append(cell(i, column));
            texts.append(list()->model()->index(i, 0).data(kImageRole).toString());
            result.append(texts.join('|'));
        }
        return result;
    }
};

// A script that fills a dialog's fields, by object name, and presses one of its buttons.
inline std::function<void(QDialog*)> fillAndPress(QMap<QString, QString> fields,
                                                  const char* button = "BtBtnOK") {
    return [fields, button](QDialog* dialog) {
        for (auto it = fields.cbegin(); it != fields.cend(); ++it) {
            if (auto* edit = dialog->findChild<QLineEdit*>(it.key()))
                edit->setText(it.value());
            else
                dialog->findChild<QPlainTextEdit*>(it.key())->setPlainText(it.value());
        }
        dialog->findChild<QPushButton*>(QString::fromUtf8(button))->click();
    };
}

} // namespace zq::test
