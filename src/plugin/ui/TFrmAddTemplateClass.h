#pragma once

#include <QDialog>

class QLineEdit;
class QPlainTextEdit;

namespace zq {

// The class dialog: shows a class's code and takes its name and description. The caller sets
// the caption and does the catalogue work after OK.
class TFrmAddTemplateClass : public QDialog {
    Q_OBJECT
public:
    explicit TFrmAddTemplateClass(QWidget* owner);

    void setClass(const QString& code, const QString& name = {}, const QString& memo = {});
    QString code() const;
    QString name() const;
    QString memo() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BtBtnOKClick();

    QLineEdit* Edt_DocSortNum;
    QLineEdit* Edt_DocSortName;
    QPlainTextEdit* Mem_DocSortDes;
};

} // namespace zq
