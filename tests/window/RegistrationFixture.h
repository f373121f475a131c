// The registration dialogs' fixture: a small catalogue with a host that can refuse, and the
// few ways a person works the dialogs.
#pragma once

#include "OpenTree.h"
#include "RefusingHost.h"
#include "ScriptedDialogs.h"
#include "StoredFiles.h"
#include "TestCatalogue.h"

#include <QDialog>
#include <QHash>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>

namespace zq::test {

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

inline QTreeWidget* treeOf(QDialog& dialog) {
    return dialog.findChild<QTreeWidget*>("tvwOrg");
}

// The node with the text; a template not shown yet is found with every class opened.
inline QTreeWidgetItem* node(QDialog& dialog, const QString& text) {
    return findOpening(treeOf(dialog), text);
}

inline QString statusOf(QDialog& dialog) {
    return dialog.findChild<QLabel*>("LblStatus")->text();
}

inline void clickOk(QDialog& dialog) {
    dialog.findChild<QPushButton*>("BtBtnOK")->click();
}

} // namespace zq::test
