#pragma once

#include "widgets/DialogControls.h"

class QLineEdit;
class QPlainTextEdit;

namespace zq {

// The class dialog: shows a class's code and takes its name and description. The caller sets
// the caption and gives the save that OK runs.
class ClassDialog : public SavingDialog {
    Q_OBJECT
public:
    explicit ClassDialog(QWidget* owner);

    void setClass(const QString& code, const QString& name = {}, const QString& memo = {});
    QString code() const;
    QString name() const;
    QString memo() const;

private:
    void acceptIfValid();

    QLineEdit* m_codeEdit;
    QLineEdit* m_nameEdit;
    QPlainTextEdit* m_memoEdit;
};

} // namespace zq
