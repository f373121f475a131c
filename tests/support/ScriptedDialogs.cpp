#include "ScriptedDialogs.h"

namespace zq::test {

QStringList ScriptedDialogs::texts(const QString& kind) const {
    QStringList result;
    for (const Shown& entry : shown)
        if (entry.kind == kind)
            result.append(entry.text);
    return result;
}

bool ScriptedDialogs::ask(QWidget*, const QString& title, const QString& text) {
    shown.append({QStringLiteral("ask"), title, text});
    return !answers.isEmpty() && answers.dequeue();
}

int ScriptedDialogs::choose(QWidget*, const QString& title, const QString& text,
                            const QStringList& offered) {
    shown.append({QStringLiteral("choose"), title, text + QLatin1Char('|') + offered.join('|')});
    return choices.isEmpty() ? -1 : choices.dequeue();
}

void ScriptedDialogs::inform(QWidget*, const QString& title, const QString& text,
                             const QString& details) {
    shown.append({QStringLiteral("inform"), title, text, details});
}

void ScriptedDialogs::warn(QWidget*, const QString& title, const QString& text,
                           const QString& details) {
    shown.append({QStringLiteral("warn"), title, text, details});
}

void ScriptedDialogs::error(QWidget*, const QString& title, const QString& text,
                            const QString& details) {
    shown.append({QStringLiteral("error"), title, text, details});
}

QString ScriptedDialogs::chooseOpenFile(QWidget*, const QString& caption, const QString& folder,
                                        const QString& filter) {
    shown.append({QStringLiteral("open"), folder, caption + QLatin1Char('|') + filter});
    return files.isEmpty() ? QString() : files.dequeue();
}

QString ScriptedDialogs::chooseSaveFile(QWidget*, const QString& caption, const QString& folder,
                                        const QString& filter, const QString& defaultSuffix) {
    shown.append({QStringLiteral("save"), folder,
                  caption + QLatin1Char('|') + filter + QLatin1Char('|') + defaultSuffix});
    return files.isEmpty() ? QString() : files.dequeue();
}

int ScriptedDialogs::exec(QDialog* dialog) {
    shown.append({QStringLiteral("exec"), QString(), dialog->windowTitle()});
    dialog->setResult(QDialog::Rejected);
    if (!scripts.isEmpty())
        scripts.dequeue()(dialog);
    return dialog->result();
}

} // namespace zq::test
