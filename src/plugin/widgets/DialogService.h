#pragma once

#include <QString>
#include <QStringList>
#include <functional>

class QDialog;
class QWidget;

namespace zq {

// Every message box, file dialog and modal showing of the plug-in goes through here, so that
// tests can answer them without a blocking window.
class DialogService {
public:
    virtual ~DialogService() = default;

    // OK/Cancel with the question icon; true only on OK.
    virtual bool ask(QWidget* parent, const QString& title, const QString& text) = 0;
    // OK with the information icon; details as for warn (a longer list, scrollable).
    virtual void inform(QWidget* parent, const QString& title, const QString& text,
                        const QString& details = {}) = 0;
    // OK with the warning icon; details, when given, go to the box's details area.
    virtual void warn(QWidget* parent, const QString& title, const QString& text,
                      const QString& details = {}) = 0;
    // A failure, with the error icon; details as for warn (the engine's own text).
    virtual void error(QWidget* parent, const QString& title, const QString& text,
                       const QString& details = {}) = 0;
    // The chosen file's path, or the empty text when cancelled.
    virtual QString chooseOpenFile(QWidget* parent, const QString& caption, const QString& folder,
                                   const QString& filter) = 0;
    // A name typed without a suffix gets the default suffix before the dialog asks whether to
    // replace an existing file, so that the question covers the file that will be written.
    virtual QString chooseSaveFile(QWidget* parent, const QString& caption, const QString& folder,
                                   const QString& filter, const QString& defaultSuffix) = 0;
    // A question with a button for each choice, in order; the index of the one pressed, -1
    // when the box was closed without one.
    virtual int choose(QWidget* parent, const QString& title, const QString& text,
                       const QStringList& choices) = 0;
    // Shows the dialog modally and gives its result (QDialog::Accepted or Rejected).
    virtual int exec(QDialog* dialog) = 0;
};

// The dialogs in use: the real ones unless a test put others in place.
DialogService& dialogs();
void setDialogs(DialogService* service);

// Runs an event handler's work; a failure ends it and is shown as an error with the
// application's title, and the window stays usable.
void guarded(QWidget* parent, const std::function<void()>& work);
// The same, with what failed said first ("保存失败"); gives whether the work went through.
bool attempt(QWidget* parent, const QString& failure, const std::function<void()>& work);

} // namespace zq
