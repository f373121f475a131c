#pragma once

#include <QDialog>

class QLineEdit;
class QPlainTextEdit;

namespace zq {

// Shows a template's number and takes its new name and description; the caller stores them
// after OK.
class TFrmEditTemplateDoc : public QDialog {
    Q_OBJECT
public:
    explicit TFrmEditTemplateDoc(QWidget* owner);

    void setTemplate(const QString& docId, const QString& name, const QString& memo);
    QString docId() const;
    QString name() const;
    QString memo() const;

private:
    void BtBtnOKClick();

    QLineEdit* Edt_DocNum;
    QLineEdit* Edt_DocName;
    QPlainTextEdit* Mem_DocDes;
};

} // namespace zq
