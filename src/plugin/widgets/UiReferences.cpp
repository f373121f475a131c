#include "widgets/UiReferences.h"

#include <QApplication>
#include <QMdiArea>
#include <QPointer>
#include <QWidget>

namespace zq {

namespace {

// The host's objects as installed, guarded so that a destroyed one reads as none. Held through
// a plain pointer and freed at unload: static destructors run after the unload function when
// the process exits, and must not find guarded pointers to put back.
struct Installed {
    QPointer<QWidget> application;
    QPointer<QMdiArea> screen;
    intptr_t hintWindowClass = 0;
};
Installed* g_installed = nullptr;

// The plug-in's own application object: a hidden top-level widget, made only when some
// export needs an application before the host installed its own, or after it is gone.
QPointer<QWidget>& ownApplication() {
    static QPointer<QWidget> own;
    return own;
}

} // namespace

UiReferences uiReferences() {
    if (!g_installed)
        return {};
    return {g_installed->application, g_installed->screen, g_installed->hintWindowClass};
}

void installHostObjects(intptr_t hintWindowClass, intptr_t application, intptr_t screen) {
    if (!g_installed)
        g_installed = new Installed;
    g_installed->hintWindowClass = hintWindowClass;
    g_installed->application = reinterpret_cast<QWidget*>(application);
    g_installed->screen = reinterpret_cast<QMdiArea*>(screen);
}

void restoreOwnReferences() {
    delete g_installed;
    g_installed = nullptr;
    // At process exit the widget library may already be gone; then there is nothing to free.
    if (QApplication::instance())
        delete ownApplication().data();
}

QWidget* application() {
    if (QWidget* installed = uiReferences().application)
        return installed;
    if (!ownApplication()) {
        ownApplication() = new QWidget;
        ownApplication()->setObjectName(QStringLiteral("ZQDocTemplateMGApplication"));
        ownApplication()->setWindowTitle(QApplication::applicationDisplayName());
    }
    return ownApplication();
}

QString applicationTitle() {
    return application()->windowTitle();
}

QString noticeTitle() {
    return QStringLiteral("系统提示");
}

QObject* findComponent(const QString& name) {
    return application()->findChild<QObject*>(name, Qt::FindChildrenRecursively);
}

} // namespace zq
