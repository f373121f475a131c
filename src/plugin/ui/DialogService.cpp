#include "ui/DialogService.h"

#include "platform/UiReferences.h"
#include "util/Error.h"

#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>

namespace zq {

namespace {

class QtDialogs final : public DialogService {
public:
    bool ask(QWidget* parent, const QString& title, const QString& text) override {
        return QMessageBox::question(parent, title, text, QMessageBox::Ok | QMessageBox::Cancel,
                                     QMessageBox::Ok) == QMessageBox::Ok;
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
        return QFileDialog::getOpenFileName(parent, caption, folder, filter);
    }
    QString chooseSaveFile(QWidget* parent, const QString& caption, const QString& folder,
                           const QString& filter) override {
        return QFileDialog::getSaveFileName(parent, caption, folder, filter);
    }
    int exec(QDialog* dialog) override { return dialog->exec(); }

private:
    static void show(QWidget* parent, QMessageBox::Icon icon, const QString& title,
                     const QString& text, const QString& details) {
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
