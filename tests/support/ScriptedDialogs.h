#pragma once

#include "widgets/DialogService.h"

#include <QDialog>
#include <QList>
#include <QQueue>
#include <QStringList>
#include <functional>

namespace zq::test {

// Answers every message box and modal dialog from a script and records what was shown, so a
// test never blocks on a window.
class ScriptedDialogs final : public DialogService {
public:
    struct Shown {
        QString kind; // ask, inform, warn, error, open, save, exec
        QString title;
        // the message, the dialog's window title, or a file dialog's caption and filter, and a
        // save dialog's default suffix, '|' between
        QString text;
        QString details = {}; // a message box's details area
    };
    QList<Shown> shown;

    // The answers, taken in order. An ask without an answer gets Cancel, a file dialog the
    // empty text, a modal dialog without a script is cancelled.
    QQueue<bool> answers;
    QQueue<int> choices; // a choice without an answer: closed, -1
    QQueue<QString> files;
    QQueue<std::function<void(QDialog*)>> scripts;

    QStringList texts(const QString& kind) const;

    bool ask(QWidget* parent, const QString& title, const QString& text) override;
    void inform(QWidget* parent, const QString& title, const QString& text,
                const QString& details = {}) override;
    void warn(QWidget* parent, const QString& title, const QString& text,
              const QString& details = {}) override;
    void error(QWidget* parent, const QString& title, const QString& text,
               const QString& details = {}) override;
    QString chooseOpenFile(QWidget* parent, const QString& caption, const QString& folder,
                           const QString& filter) override;
    QString chooseSaveFile(QWidget* parent, const QString& caption, const QString& folder,
                           const QString& filter, const QString& defaultSuffix) override;
    int choose(QWidget* parent, const QString& title, const QString& text,
               const QStringList& choices) override;
    int exec(QDialog* dialog) override;
};

class ScriptedDialogsScope {
public:
    explicit ScriptedDialogsScope(ScriptedDialogs& dialogs) { setDialogs(&dialogs); }
    ~ScriptedDialogsScope() { setDialogs(nullptr); }
};

} // namespace zq::test
