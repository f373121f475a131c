#include "ui/TFrmAddTemplateDoc.h"

#include "platform/UiReferences.h"
#include "ui/DialogControls.h"
#include "ui/DialogService.h"
#include "util/FileUtil.h"

#include <QApplication>
#include <QFileInfo>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>

namespace zq {

TFrmAddTemplateDoc::TFrmAddTemplateDoc(QWidget* owner)
    : QDialog(owner)
    , m_chooserFolder(GetShellFolderPath(0)) {
    setObjectName(QStringLiteral("FrmAddTemplateDoc"));
    setWindowTitle(QStringLiteral("添加模板文件"));
    setFixedSize(292, 258);

    placeLabel(this, QStringLiteral("Label1"), QStringLiteral("选择模板文件："), 16, 24);
    Edt_ChoDoc = placeEdit(this, QStringLiteral("Edt_ChoDoc"), 16, 24, 242);
    placeLabel(this, QStringLiteral("RzLabel2"), QStringLiteral("模板文件名称："), 16, 72);
    Edt_DocName = placeEdit(this, QStringLiteral("Edt_DocName"), 16, 72, 265);
    placeLabel(this, QStringLiteral("RzLabel3"), QStringLiteral("模板文件说明："), 16, 127);
    Mem_DocDes = placeMemo(this, QStringLiteral("Mem_DocDes"), 16, 127, 265, 93);
    QPushButton* ok =
        placeButton(this, QStringLiteral("BtBtnOK"), QStringLiteral("确定(&O)"), 48, 226);
    QPushButton* cancel =
        placeButton(this, QStringLiteral("BtBtnCancel"), QStringLiteral("取消(&C)"), 175, 226);

    RzBitBtn1 = new QPushButton(this);
    RzBitBtn1->setObjectName(QStringLiteral("RzBitBtn1"));
    RzBitBtn1->setIcon(QApplication::style()->standardIcon(QStyle::SP_DirOpenIcon));
    RzBitBtn1->setToolTip(QStringLiteral("选择模板文件"));
    RzBitBtn1->setAutoDefault(false);
    RzBitBtn1->setGeometry(258, Edt_ChoDoc->y() - 1, 28, Edt_ChoDoc->height() + 2);

    connect(ok, &QPushButton::clicked, this, [this] { guarded(this, [&] { BtBtnOKClick(); }); });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(RzBitBtn1, &QPushButton::clicked, this,
            [this] { guarded(this, [&] { RzBitBtn1Click(); }); });
    Edt_ChoDoc->setFocus();
}

QString TFrmAddTemplateDoc::filePath() const {
    return Edt_ChoDoc->text();
}

QString TFrmAddTemplateDoc::name() const {
    return Edt_DocName->text();
}

QString TFrmAddTemplateDoc::memo() const {
    return Mem_DocDes->toPlainText();
}

void TFrmAddTemplateDoc::RzBitBtn1Click() {
    const QString file =
        dialogs().chooseOpenFile(this, QStringLiteral("选择模板文件"), m_chooserFolder,
                                 QStringLiteral("Word文档 (*.doc);;Excel文档 (*.xls)"));
    if (file.isEmpty())
        return;
    Edt_ChoDoc->setText(file);
    const QString fileName = QFileInfo(file).fileName();
    Edt_DocName->setText(fileName.left(fileName.lastIndexOf(QLatin1Char('.'))));
}

void TFrmAddTemplateDoc::BtBtnOKClick() {
    const auto refuse = [this](const QString& message, QWidget* field) {
        dialogs().inform(this, applicationTitle(), message);
        field->setFocus();
    };
    if (Edt_ChoDoc->text().trimmed().isEmpty())
        return refuse(QStringLiteral("请选择模板文件！"), Edt_ChoDoc);
    if (Edt_DocName->text().trimmed().isEmpty())
        return refuse(QStringLiteral("模板文件名称不能为空，请重新输入！"), Edt_DocName);
    if (!QFileInfo(Edt_ChoDoc->text()).isFile())
        return refuse(QStringLiteral("选择的模板文件不存在，请重新选择！"), RzBitBtn1);
    accept();
}

} // namespace zq
