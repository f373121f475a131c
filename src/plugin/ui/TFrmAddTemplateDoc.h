#pragma once

#include <QDialog>

class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace zq {

// Takes the file to add as a template, its name and description, and checks them; the caller
// does the work after OK.
class TFrmAddTemplateDoc : public QDialog {
    Q_OBJECT
public:
    explicit TFrmAddTemplateDoc(QWidget* owner);

    QString filePath() const;
    QString name() const;
    QString memo() const;

private:
    void RzBitBtn1Click();
    void BtBtnOKClick();

    QLineEdit* Edt_ChoDoc;
    QLineEdit* Edt_DocName;
    QPlainTextEdit* Mem_DocDes;
    QPushButton* RzBitBtn1;
    QString m_chooserFolder;
};

} // namespace zq
