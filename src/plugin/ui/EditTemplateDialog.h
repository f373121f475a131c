#pragma once

#include "widgets/DialogControls.h"

class QLineEdit;
class QPlainTextEdit;

namespace zq {

// Shows a template's number and takes its new name and description; the caller gives the save
// that OK runs.
class EditTemplateDialog : public SavingDialog {
    Q_OBJECT
public:
    explicit EditTemplateDialog(QWidget* owner);

    void setTemplate(qint64 docId, const QString& name, const QString& memo);
    QString name() const;
    QString memo() const;

private:
    void acceptIfValid();

    QLineEdit* m_docIdEdit;
    QLineEdit* m_nameEdit;
    QPlainTextEdit* m_memoEdit;
};

} // namespace zq
