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
    void inform(QWidget* parent, const QString& title, const QString& text) override {
        QMessageBox::information(parent, title, text);
    }
    void warn(QWidget* parent, const QString& title, const QString& text) override {
        QMessageBox::warning(parent, title, text);
    }
    void error(QWidget* parent, const QString& title, const QString& text) override {
        QMessageBox::critical(parent, title, text);
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
    try {
        work();
    } catch (const std::exception& e) {
        dialogs().error(parent, applicationTitle(), messageOf(e));
    } catch (...) {
        dialogs().error(parent, applicationTitle(), QStringLiteral("发生未知错误。"));
    }
}

} // namespace zq
