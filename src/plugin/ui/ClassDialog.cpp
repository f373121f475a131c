#include "ui/ClassDialog.h"

#include "catalogue/TextRules.h"
#include "widgets/DialogControls.h"
#include "widgets/DialogService.h"
#include "widgets/UiReferences.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

namespace zq {

ClassDialog::ClassDialog(QWidget* owner)
    : SavingDialog(owner) {
    setObjectName(QStringLiteral("FrmAddTemplateClass"));
    setFixedSize(292, 266);

    placeLabel(this, QStringLiteral("Label1"), QStringLiteral("模板分类编码："), 16, 24);
    m_codeEdit = placeEdit(this, QStringLiteral("Edt_DocSortNum"), 16, 24, 265);
    m_codeEdit->setEnabled(false);
    m_codeEdit->setFocusPolicy(Qt::NoFocus);
    placeLabel(this, QStringLiteral("Label2"), QStringLiteral("模板分类名称："), 16, 72);
    m_nameEdit = placeEdit(this, QStringLiteral("Edt_DocSortName"), 16, 72, 265);
    placeLabel(this, QStringLiteral("Label3"), QStringLiteral("模板分类说明："), 16, 127);
    m_memoEdit = placeMemo(this, QStringLiteral("Mem_DocSortDes"), 16, 127, 265, 93);
    m_nameEdit->setMaxLength(maxTextLength(TextField::ClassName));
    limitLength(m_memoEdit, maxTextLength(TextField::ClassMemo));
    QPushButton* ok =
        placeButton(this, QStringLiteral("BtBtnOK"), QStringLiteral("确定(&O)"), 48, 232);
    QPushButton* cancel =
        placeButton(this, QStringLiteral("BtBtnCancel"), QStringLiteral("取消(&C)"), 175, 232);

    connect(ok, &QPushButton::clicked, this, [this] { guarded(this, [&] { acceptIfValid(); }); });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    acceptOnEnter(ok);
    m_nameEdit->setFocus();
}

void ClassDialog::setClass(const QString& code, const QString& name, const QString& memo) {
    m_codeEdit->setText(code);
    m_nameEdit->setText(name);
    m_memoEdit->setPlainText(memo);
}

QString ClassDialog::code() const {
    return m_codeEdit->text();
}

QString ClassDialog::name() const {
    return m_nameEdit->text();
}

QString ClassDialog::memo() const {
    return m_memoEdit->toPlainText();
}

void ClassDialog::acceptIfValid() {
    if (m_nameEdit->text().trimmed().isEmpty()) {
        dialogs().inform(this, applicationTitle(),
                         QStringLiteral("模板分类名称不能为空，请重新输入！"));
        m_nameEdit->setFocus();
        return;
    }
    saveAndAccept();
}

} // namespace zq
