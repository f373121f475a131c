#include "ui/AddTemplateDialog.h"

#include "catalogue/TextRules.h"
#include "util/FileUtil.h"
#include "widgets/DialogControls.h"
#include "widgets/DialogService.h"
#include "widgets/UiReferences.h"

#include <QApplication>
#include <QFileInfo>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>

namespace zq {

namespace {

// Where the file chooser opens: the desktop at first, then the folder of the last file chosen
// while the program runs.
QString& chooserFolder() {
    static QString folder = desktopFolder();
    return folder;
}

} // namespace

AddTemplateDialog::AddTemplateDialog(QWidget* owner)
    : SavingDialog(owner) {
    setObjectName(QStringLiteral("FrmAddTemplateDoc"));
    setWindowTitle(QStringLiteral("添加模板文件"));
    setFixedSize(292, 258);

    placeLabel(this, QStringLiteral("Label1"), QStringLiteral("选择模板文件："), 16, 24);
    m_fileEdit = placeEdit(this, QStringLiteral("Edt_ChoDoc"), 16, 24, 242);
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

    m_browseButton = placeButton(this, QStringLiteral("RzBitBtn1"), {}, 0, 0);
    m_browseButton->setIcon(QApplication::style()->standardIcon(QStyle::SP_DirOpenIcon));
    m_browseButton->setToolTip(QStringLiteral("选择模板文件"));
    m_browseButton->setGeometry(258, m_fileEdit->y() - 1, 28, m_fileEdit->height() + 2);

    acceptOnEnter(ok);
    connect(ok, &QPushButton::clicked, this, [this] { guarded(this, [&] { acceptIfValid(); }); });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_browseButton, &QPushButton::clicked, this,
            [this] { guarded(this, [&] { chooseFile(); }); });
    m_fileEdit->setFocus();
}

QString AddTemplateDialog::filePath() const {
    return m_fileEdit->text();
}

QString AddTemplateDialog::name() const {
    return m_nameEdit->text();
}

QString AddTemplateDialog::memo() const {
    return m_memoEdit->toPlainText();
}

void AddTemplateDialog::chooseFile() {
    const QString file =
        dialogs().chooseOpenFile(this, QStringLiteral("选择模板文件"), chooserFolder(),
                                 QStringLiteral("Word文档 (*.doc);;Excel文档 (*.xls);;"
                                                "Word文档 (*.docx);;Excel文档 (*.xlsx);;"
                                                "所有文件 (*)"));
    if (file.isEmpty())
        return;
    chooserFolder() = QFileInfo(file).absolutePath();
    m_fileEdit->setText(file);
    const QString fileName = QFileInfo(file).fileName();
    m_nameEdit->setText(fileName.left(fileName.lastIndexOf(QLatin1Char('.'))));
}

void AddTemplateDialog::acceptIfValid() {
    const auto refuse = [this](const QString& message, QWidget* field) {
        dialogs().inform(this, applicationTitle(), message);
        field->setFocus();
    };
    if (m_fileEdit->text().trimmed().isEmpty())
        return refuse(QStringLiteral("请选择模板文件！"), m_fileEdit);
    if (m_nameEdit->text().trimmed().isEmpty())
        return refuse(QStringLiteral("模板文件名称不能为空，请重新输入！"), m_nameEdit);
    if (!QFileInfo(m_fileEdit->text()).isFile())
        return refuse(QStringLiteral("选择的模板文件不存在，请重新选择！"), m_browseButton);
    saveAndAccept();
}

} // namespace zq
