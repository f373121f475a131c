#include "widgets/DialogService.h"

#include "util/Error.h"
#include "widgets/OverrideCursor.h"
#include "widgets/UiReferences.h"

#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

namespace zq {

namespace {

// A person answering a box or filling a dialog sees the ordinary cursor, even while a handler
// that shows the wait cursor is running.
class QtDialogs final : public DialogService {
public:
    bool ask(QWidget* parent, const QString& title, const QString& text) override {
        const OverrideCursor normal(Qt::ArrowCursor);
        return QMessageBox::question(parent, title, text, QMessageBox::Ok | QMessageBox::Cancel,
                                     QMessageBox::Ok) == QMessageBox::Ok;
    }
    int choose(QWidget* parent, const QString& title, const QString& text,
               const QStringList& choices) override {
        const OverrideCursor normal(Qt::ArrowCursor);
        QMessageBox box(QMessageBox::Question, title, text, QMessageBox::NoButton, parent);
        QList<const QAbstractButton*> buttons;
        for (const QString& choice : choices)
            buttons.append(box.addButton(choice, QMessageBox::AcceptRole));
        box.addButton(QMessageBox::Cancel);
        box.exec();
        return int(buttons.indexOf(box.clickedButton()));
    }
    void inform(QWidget* parent, const QString& title, const QString& text,
                const QString& details) override {
        show(parent, QMessageBox::Information, title, text, details);
    }
    void warn(QWidget* parent, const QString& title, const QString& text,
              const QString& details) override {
        show(parent, QMessageBox::Warning, title, text, details);
    }
    void error(QWidget* parent, const QString& title, const QString& text,
               const QString& details) override {
        show(parent, QMessageBox::Critical, title, text, details);
    }
    QString chooseOpenFile(QWidget* parent, const QString& caption, const QString& folder,
                           const QString& filter) override {
        const OverrideCursor normal(Qt::ArrowCursor);
        return QFileDialog::getOpenFileName(parent, caption, folder, filter);
    }
    QString chooseSaveFile(QWidget* parent, const QString& caption, const QString& folder,
                           const QString& filter, const QString& defaultSuffix) override {
        const OverrideCursor normal(Qt::ArrowCursor);
        QFileDialog dialog(parent, caption, folder, filter);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setDefaultSuffix(defaultSuffix);
        return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
    }
    int exec(QDialog* dialog) override {
        const OverrideCursor normal(Qt::ArrowCursor);
        return dialog->exec();
    }

private:
    static void show(QWidget* parent, QMessageBox::Icon icon, const QString& title,
                     const QString& text, const QString& details) {
        const OverrideCursor normal(Qt::ArrowCursor);
        QMessageBox box(icon, title, text, QMessageBox::Ok, parent);
        box.setDetailedText(details);
        box.exec();
    }
};

DialogService* g_override = nullptr;

} // namespace

DialogService& dialogs() {
    static QtDialogs real;
    return g_override ? *g_override : real;
}

void setDialogs(DialogService* service) {
    g_override = service;
}

void guarded(QWidget* parent, const std::function<void()>& work) {
    attempt(parent, {}, work);
}

bool attempt(QWidget* parent, const QString& failure, const std::function<void()>& work) {
    const auto show = [&](const QString& message, const QString& details) {
        dialogs().error(parent, applicationTitle(),
                        failure.isEmpty() ? message : failure + QStringLiteral("：") + message,
                        details);
    };
    try {
        // The work may wait on the database (a locked file waits for the busy timeout).
        const OverrideCursor wait(Qt::WaitCursor);
        work();
        return true;
    } catch (const Error& e) {
        show(e.message(), e.details());
    } catch (const std::exception& e) {
        show(messageOf(e), {});
    } catch (...) {
        show(QStringLiteral("发生未知错误。"), {});
    }
    return false;
}

} // namespace zq
