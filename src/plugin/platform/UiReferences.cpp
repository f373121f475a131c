#include "platform/UiReferences.h"

#include <QApplication>
#include <QMdiArea>
#include <QPointer>
#include <QWidget>

namespace zq {

namespace {

UiReferences g_current;
UiReferences g_own;
bool g_ownSaved = false;

// The plug-in's own application object: a hidden top-level widget, made only when some
// export needs an application before the host installed its own.
QPointer<QWidget>& ownApplication() {
    static QPointer<QWidget> own;
    return own;
}

} // namespace

const UiReferences& uiReferences() {
    return g_current;
}

void installHostObjects(intptr_t hintWindowClass, intptr_t application, intptr_t screen) {
    g_current.hintWindowClass = hintWindowClass;
    g_current.application = reinterpret_cast<QWidget*>(application);
    g_current.screen = reinterpret_cast<QMdiArea*>(screen);
}

void saveOwnReferences() {
    g_own = g_current;
    g_ownSaved = true;
}

void restoreOwnReferences() {
    if (g_ownSaved)
        g_current = g_own;
    // At process exit the widget library may already be gone; then there is nothing to free.
    if (QApplication::instance())
        delete ownApplication().data();
}

QWidget* application() {
    if (g_current.application)
        return g_current.application;
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

QObject* findComponent(const QString& name) {
    return application()->findChild<QObject*>(name, Qt::FindChildrenRecursively);
}

} // namespace zq
