#include "ui/TFrmAddTemplateClass.h"

#include "platform/UiReferences.h"
#include "ui/DialogControls.h"
#include "ui/DialogService.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

namespace zq {

TFrmAddTemplateClass::TFrmAddTemplateClass(QWidget* owner)
    : QDialog(owner) {
    setObjectName(QStringLiteral("FrmAddTemplateClass"));
    setFixedSize(292, 266);

    placeLabel(this, QStringLiteral("Label1"), QStringLiteral("模板分类编码："), 16, 24);
    Edt_DocSortNum = placeEdit(this, QStringLiteral("Edt_DocSortNum"), 16, 24, 265);
    Edt_DocSortNum->setEnabled(false);
    Edt_DocSortNum->setFocusPolicy(Qt::NoFocus);
    placeLabel(this, QStringLiteral("Label2"), QStringLiteral("模板分类名称："), 16, 72);
    Edt_DocSortName = placeEdit(this, QStringLiteral("Edt_DocSortName"), 16, 72, 265);
    placeLabel(this, QStringLiteral("Label3"), QStringLiteral("模板分类说明："), 16, 127);
    Mem_DocSortDes = placeMemo(this, QStringLiteral("Mem_DocSortDes"), 16, 127, 265, 93);
    QPushButton* ok =
        placeButton(this, QStringLiteral("BtBtnOK"), QStringLiteral("确定(&O)"), 48, 232);
    QPushButton* cancel =
        placeButton(this, QStringLiteral("BtBtnCancel"), QStringLiteral("取消(&C)"), 175, 232);

    connect(ok, &QPushButton::clicked, this, [this] { guarded(this, [&] { BtBtnOKClick(); }); });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    Edt_DocSortName->installEventFilter(this);
    Edt_DocSortName->setFocus();
}

void TFrmAddTemplateClass::setClass(const QString& code, const QString& name, const QString& memo) {
    Edt_DocSortNum->setText(code);
    Edt_DocSortName->setText(name);
    Mem_DocSortDes->setPlainText(memo);
}

QString TFrmAddTemplateClass::code() const {
    return Edt_DocSortNum->text();
}

QString TFrmAddTemplateClass::name() const {
    return Edt_DocSortName->text();
}

QString TFrmAddTemplateClass::memo() const {
    return Mem_DocSortDes->toPlainText();
}

// Enter in the name edit moves on as Tab does instead of closing the dialog.
bool TFrmAddTemplateClass::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Edt_DocSortName && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            focusNextChild();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TFrmAddTemplateClass::BtBtnOKClick() {
    if (Edt_DocSortName->text().trimmed().isEmpty()) {
        dialogs().inform(this, applicationTitle(),
                         QStringLiteral("模板分类名称不能为空，请重新输入！"));
        Edt_DocSortName->setFocus();
        return;
    }
    accept();
}

} // namespace zq
