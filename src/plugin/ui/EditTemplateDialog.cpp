#include "ui/EditTemplateDialog.h"

#include "catalogue/TextRules.h"
#include "widgets/DialogControls.h"
#include "widgets/DialogService.h"
#include "widgets/UiReferences.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

namespace zq {

EditTemplateDialog::EditTemplateDialog(QWidget* owner)
    : SavingDialog(owner) {
    setObjectName(QStringLiteral("FrmEditTemplateDoc"));
    setWindowTitle(QStringLiteral("修改模板文件说明"));
    setFixedSize(292, 256);

    placeLabel(this, QStringLiteral("RzLabel1"), QStringLiteral("模板文件编码："), 16, 24);
    m_docIdEdit = placeEdit(this, QStringLiteral("Edt_DocNum"), 16, 24, 265);
    m_docIdEdit->setEnabled(false);
    m_docIdEdit->setFocusPolicy(Qt::NoFocus);
    placeLabel(this, QStringLiteral("RzLabel2"), QStringLiteral("模板文件名称："), 16, 72);
    m_nameEdit = placeEdit(this, QStringLiteral("Edt_DocName"), 16, 72, 265);
    placeLabel(this, QStringLiteral("RzLabel3"), QStringLiteral("模板文件说明："), 16, 127);
    m_memoEdit = placeMemo(this, QStringLiteral("Mem_DocDes"), 16, 127, 265, 93);
    m_nameEdit->setMaxLength(maxTextLength(TextField::Caption));
    limitLength(m_memoEdit, maxTextLength(TextField::Memo));
    QPushButton* ok =
        placeButton(this, QStringLiteral("BtBtnOK"), QStringLiteral("确定(&O)"), 48, 226);
    QPushButton* cancel =
        placeButton(this, QStringLiteral("BtBtnCancel"), QStringLiteral("取消(&C)"), 175, 226);

    acceptOnEnter(ok);
    connect(ok, &QPushButton::clicked, this, [this] { guarded(this, [&] { acceptIfValid(); }); });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    m_nameEdit->setFocus();
}

void EditTemplateDialog::setTemplate(qint64 docId, const QString& name, const QString& memo) {
    m_docIdEdit->setText(QString::number(docId));
    m_nameEdit->setText(name);
    m_memoEdit->setPlainText(memo);
}

QString EditTemplateDialog::name() const {
    return m_nameEdit->text();
}

QString EditTemplateDialog::memo() const {
    return m_memoEdit->toPlainText();
}

void EditTemplateDialog::acceptIfValid() {
    if (m_nameEdit->text().trimmed().isEmpty()) {
        dialogs().inform(this, applicationTitle(),
                         QStringLiteral("模板文件名称不能为空，请重新输入！"));
        m_nameEdit->setFocus();
        return;
    }
    saveAndAccept();
}

} // namespace zq
