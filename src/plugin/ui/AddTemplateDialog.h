#pragma once

#include "widgets/DialogControls.h"

class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace zq {

// Takes the file to add as a template, its name and description, and checks them; the caller
// gives the save that OK runs.
class AddTemplateDialog : public SavingDialog {
    Q_OBJECT
public:
    explicit AddTemplateDialog(QWidget* owner);

    QString filePath() const;
    QString name() const;
    QString memo() const;

private:
    void chooseFile();
    void acceptIfValid();

    QLineEdit* m_fileEdit;
    QLineEdit* m_nameEdit;
    QPlainTextEdit* m_memoEdit;
    QPushButton* m_browseButton;
};

} // namespace zq
