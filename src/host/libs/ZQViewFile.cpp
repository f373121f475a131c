// libZQViewFile.so: shows a file with the desktop's program for it.

#include "HostCore.h"
#include "HostServices.h"

#include <QDesktopServices>
#include <QGuiApplication>
#include <QUrl>

namespace {

// Without a display (tests, servers) the call is only recorded.
bool canShow() {
    const QString platform = QGuiApplication::platformName();
    return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) &&
           platform != QLatin1String("offscreen") && platform != QLatin1String("minimal") &&
           qEnvironmentVariableIsEmpty("CORVANE_NO_VIEWER");
}

} // namespace

CORVANE_SERVICE void ViewFile(const char* path, int32_t mode, const char* title) {
    corvane::serve("ViewFile", false, [&](QJsonArray& args) {
        const QString file = corvane::fromHost(path);
        args = {file, mode, corvane::fromHost(title)};
        return canShow() && QDesktopServices::openUrl(QUrl::fromLocalFile(file));
    });
}
