#pragma once

#include <QString>

class QDialog;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace zq {

// The small input dialogs place their controls at fixed pixel positions, each edit with its
// label just above it. Heights follow the font so that no text is clipped.
QLabel* placeLabel(QDialog* form, const QString& name, const QString& text, int left, int top);
QLineEdit* placeEdit(QDialog* form, const QString& name, int left, int top, int width);
QPlainTextEdit* placeMemo(QDialog* form, const QString& name, int left, int top, int width,
                          int height);
// A button that Enter never presses: the dialogs have no default button.
QPushButton* placeButton(QDialog* form, const QString& name, const QString& text, int left,
                         int top);

} // namespace zq
