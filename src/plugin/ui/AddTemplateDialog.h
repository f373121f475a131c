#pragma once

#include <QDialog>

class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace zq {

// Takes the file to add as a template, its name and description, and checks them; the caller
// does the work after OK.
class AddTemplateDialog : public QDialog {
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
    QString m_chooserFolder;
};

} // namespace zq
