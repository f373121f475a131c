#include "ui/TFrmEditTemplateDoc.h"

#include "platform/UiReferences.h"
#include "ui/DialogControls.h"
#include "ui/DialogService.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

namespace zq {

TFrmEditTemplateDoc::TFrmEditTemplateDoc(QWidget* owner)
    : QDialog(owner) {
    setObjectName(QStringLiteral("FrmEditTemplateDoc"));
    setWindowTitle(QStringLiteral("修改模板文件说明"));
    setFixedSize(292, 256);

    placeLabel(this, QStringLiteral("RzLabel1"), QStringLiteral("模板文件编码："), 16, 24);
    Edt_DocNum = placeEdit(this, QStringLiteral("Edt_DocNum"), 16, 24, 265);
    Edt_DocNum->setEnabled(false);
    Edt_DocNum->setFocusPolicy(Qt::NoFocus);
    placeLabel(this, QStringLiteral("RzLabel2"), QStringLiteral("模板文件名称："), 16, 72);
    Edt_DocName = placeEdit(this, QStringLiteral("Edt_DocName"), 16, 72, 265);
    placeLabel(this, QStringLiteral("RzLabel3"), QStringLiteral("模板文件说明："), 16, 127);
    Mem_DocDes = placeMemo(this, QStringLiteral("Mem_DocDes"), 16, 127, 265, 93);
    QPushButton* ok =
        placeButton(this, QStringLiteral("BtBtnOK"), QStringLiteral("确定(&O)"), 48, 226);
    QPushButton* cancel =
        placeButton(this, QStringLiteral("BtBtnCancel"), QStringLiteral("取消(&C)"), 175, 226);

    connect(ok, &QPushButton::clicked, this, [this] { guarded(this, [&] { BtBtnOKClick(); }); });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    Edt_DocName->setFocus();
}

void TFrmEditTemplateDoc::setTemplate(const QString& docId, const QString& name,
                                      const QString& memo) {
    Edt_DocNum->setText(docId);
    Edt_DocName->setText(name);
    Mem_DocDes->setPlainText(memo);
}

QString TFrmEditTemplateDoc::docId() const {
    return Edt_DocNum->text();
}

QString TFrmEditTemplateDoc::name() const {
    return Edt_DocName->text();
}

QString TFrmEditTemplateDoc::memo() const {
    return Mem_DocDes->toPlainText();
}

void TFrmEditTemplateDoc::BtBtnOKClick() {
    if (Edt_DocName->text().trimmed().isEmpty()) {
        dialogs().inform(this, applicationTitle(),
                         QStringLiteral("模板文件名称不能为空，请重新输入！"));
        Edt_DocName->setFocus();
        return;
    }
    accept();
}

} // namespace zq
