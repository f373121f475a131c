#include "ui/DialogControls.h"

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

namespace zq {

QLabel* placeLabel(QDialog* form, const QString& name, const QString& text, int left, int top) {
    auto* label = new QLabel(text, form);
    label->setObjectName(name);
    label->adjustSize();
    label->move(left, top - label->height() - 1);
    return label;
}

QLineEdit* placeEdit(QDialog* form, const QString& name, int left, int top, int width) {
    auto* edit = new QLineEdit(form);
    edit->setObjectName(name);
    edit->setGeometry(left, top, width, std::max(21, edit->sizeHint().height()));
    return edit;
}

QPlainTextEdit* placeMemo(QDialog* form, const QString& name, int left, int top, int width,
                          int height) {
    auto* memo = new QPlainTextEdit(form);
    memo->setObjectName(name);
    memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memo->setTabChangesFocus(true);
    memo->setGeometry(left, top, width, height);
    return memo;
}

QPushButton* placeButton(QDialog* form, const QString& name, const QString& text, int left,
                         int top) {
    auto* button = new QPushButton(text, form);
    button->setObjectName(name);
    button->setAutoDefault(false);
    button->setDefault(false);
    button->setGeometry(left, top, std::max(75, button->sizeHint().width()),
                        std::max(25, button->sizeHint().height()));
    return button;
}

} // namespace zq
