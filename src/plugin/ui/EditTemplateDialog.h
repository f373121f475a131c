#pragma once

#include <QDialog>

class QLineEdit;
class QPlainTextEdit;

namespace zq {

// Shows a template's number and takes its new name and description; the caller stores them
// after OK.
class EditTemplateDialog : public QDialog {
    Q_OBJECT
public:
    explicit EditTemplateDialog(QWidget* owner);

    void setTemplate(const QString& docId, const QString& name, const QString& memo);
    QString docId() const;
    QString name() const;
    QString memo() const;

private:
    void acceptIfValid();

    QLineEdit* m_docIdEdit;
    QLineEdit* m_nameEdit;
    QPlainTextEdit* m_memoEdit;
};

} // namespace zq
