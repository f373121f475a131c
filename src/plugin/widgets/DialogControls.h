#pragma once

#include <QDialog>
#include <QString>
#include <functional>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

class QWidget;

namespace zq {

// An input dialog that stores its input before it closes: the caller hands it the save, and
// when that fails the dialog says so ("保存失败" with the reason) and stays open with what was
// typed. Without a save it just closes with OK.
class SavingDialog : public QDialog {
public:
    using QDialog::QDialog;
    void setSave(std::function<void()> save) { m_save = std::move(save); }

protected:
    // Called by OK once the input passed the dialog's own checks.
    void saveAndAccept();

private:
    std::function<void()> m_save;
};

// Keeps the selection drawn as selected while the view does not have the focus.
void keepSelectionVisible(QWidget* view);

// The small input dialogs place their controls at fixed pixel positions, each edit with its
// label just above it. Heights follow the font so that no text is clipped.
QLabel* placeLabel(QDialog* form, const QString& name, const QString& text, int left, int top);
QLineEdit* placeEdit(QDialog* form, const QString& name, int left, int top, int width);
QPlainTextEdit* placeMemo(QDialog* form, const QString& name, int left, int top, int width,
                          int height);
// A one-line status text ("LblStatus") that says why nothing happened; the whole text is also
// its tooltip, for when it is cut off.
QLabel* placeStatusLine(QDialog* form, int left, int top, int width);
void showStatus(QLabel* status, const QString& text);
// Keeps the memo's text within the length, dropping what a typing or a paste puts beyond it.
void limitLength(QPlainTextEdit* memo, int length);
// Enter presses the button when it has the focus, as Space does; the focus alone never makes
// it the dialog's default.
void pressOnFocusedEnter(QPushButton* button);
// Enter that no focused button or editor takes (a memo keeps it as a new line) presses OK.
void acceptOnEnter(QPushButton* ok);
// A button placed at a fixed position, pressed by Enter only when it has the focus.
QPushButton* placeButton(QDialog* form, const QString& name, const QString& text, int left,
                         int top);

} // namespace zq
