#pragma once

#include <QString>
#include <cstdint>

class QWidget;
class QMdiArea;
class QObject;

namespace zq {

// The three host objects every export installs: the application object (the host's main
// window: owner of the plug-in's long-lived objects and source of the message title), the
// screen (the multiple-document area, or none) and the hint-window class (kept, never used).
struct UiReferences {
    QWidget* application = nullptr;
    QMdiArea* screen = nullptr;
    intptr_t hintWindowClass = 0;
};

// The references installed now. Until an export installs the host's, they are the plug-in's
// own, whose application object is made on first use. The host may destroy its window between
// two calls (GetDocList installs nothing): a destroyed object then reads as none, never as a
// dangling pointer.
UiReferences uiReferences();
void installHostObjects(intptr_t hintWindowClass, intptr_t application, intptr_t screen);
// Unload: forget the host's references and free the plug-in's own application object.
void restoreOwnReferences();

// The application object, never null.
QWidget* application();
// The title of the plug-in's message boxes: the application's.
QString applicationTitle();
// The title of the boxes that report on package and data-pack work.
QString noticeTitle();
// A long-lived object of the application, found by name at any depth.
QObject* findComponent(const QString& name);

} // namespace zq
