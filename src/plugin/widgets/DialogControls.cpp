#include "widgets/DialogControls.h"

#include "widgets/DialogService.h"

#include <QDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTextCursor>
#include <QTextDocument>

namespace zq {

void SavingDialog::saveAndAccept() {
    if (!m_save || attempt(this, QStringLiteral("保存失败"), m_save))
        accept();
}

void keepSelectionVisible(QWidget* view) {
    QPalette palette = view->palette();
    for (QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText})
        palette.setColor(QPalette::Inactive, role, palette.color(QPalette::Active, role));
    view->setPalette(palette);
}

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
    // A one-line field never keeps a line break or a tab, however they came in (a paste).
    QObject::connect(edit, &QLineEdit::textEdited, edit, [edit](const QString& text) {
        static const QRegularExpression breaks(QStringLiteral("[\\r\\n\\t]"));
        const int cursor = edit->cursorPosition();
        const qsizetype before = text.left(cursor).count(breaks);
        if (before == 0 && !text.contains(breaks))
            return;
        edit->setText(QString(text).remove(breaks));
        edit->setCursorPosition(int(cursor - before));
    });
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

QLabel* placeStatusLine(QDialog* form, int left, int top, int width) {
    auto* status = new QLabel(form);
    status->setObjectName(QStringLiteral("LblStatus"));
    QPalette palette = status->palette();
    palette.setColor(QPalette::WindowText, QColor(0xA0, 0x10, 0x10));
    status->setPalette(palette);
    status->setGeometry(left, top, width, status->fontMetrics().height() + 4);
    return status;
}

void showStatus(QLabel* status, const QString& text) {
    status->setText(text);
    status->setToolTip(text);
}

namespace {

// Enter on a focused button presses it, as Space does, though no button is the default.
class EnterPresses final : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress)
            return false;
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key != Qt::Key_Return && key != Qt::Key_Enter)
            return false;
        static_cast<QPushButton*>(watched)->click();
        return true;
    }
};

} // namespace

void limitLength(QPlainTextEdit* memo, int length) {
    QObject::connect(memo, &QPlainTextEdit::textChanged, memo, [memo, length] {
        const int excess = memo->document()->characterCount() - 1 - length;
        if (excess <= 0)
            return;
        QTextCursor cursor = memo->textCursor();
        const int end = cursor.position() >= excess ? cursor.position() : length + excess;
        cursor.setPosition(end - excess);
        cursor.setPosition(end, QTextCursor::KeepAnchor);
        cursor.removeSelectedText();
    });
}

void pressOnFocusedEnter(QPushButton* button) {
    button->setAutoDefault(false);
    button->setDefault(false);
    button->installEventFilter(new EnterPresses(button));
}

void acceptOnEnter(QPushButton* ok) {
    ok->setDefault(true);
}

QPushButton* placeButton(QDialog* form, const QString& name, const QString& text, int left,
                         int top) {
    auto* button = new QPushButton(text, form);
    button->setObjectName(name);
    pressOnFocusedEnter(button);
    button->setGeometry(left, top, std::max(75, button->sizeHint().width()),
                        std::max(25, button->sizeHint().height()));
    return button;
}

} // namespace zq
