// The library's exports. Each catches every failure at its door: nothing may unwind into the
// host, which is not C++ on the other side of this boundary.

#include "entry/DataModule.h"
#include "platform/HostPlatform.h"
#include "platform/UiReferences.h"
#include "registration/BatchRegisterDialog.h"
#include "registration/RegisterTemplateDialog.h"
#include "ui/DialogService.h"
#include "ui/ManagerWindow.h"
#include "ui/TreeNodes.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTreeWidget>
#include <cstdint>

#define ZQ_EXPORT extern "C" __attribute__((visibility("default")))

namespace zq {

namespace {

__attribute__((constructor)) void onLibraryLoad() {
    saveOwnReferences();
    hostPlatform(); // binds the host's services by name now, while the host loads us
}

__attribute__((destructor)) void onLibraryUnload() {
    restoreOwnReferences();
}

// Mode 1: the one manager window, a maximised child of the host's document area.
void showManagerWindow(const QSqlDatabase& db) {
    auto* form = qobject_cast<ManagerWindow*>(findComponent(QStringLiteral("FrmZQDocTemplateMG")));
    if (!form) {
        form = new ManagerWindow(application(), db);
        form->setObjectName(QStringLiteral("FrmZQDocTemplateMG"));
        if (QMdiArea* area = uiReferences().screen) {
            QMdiSubWindow* child = area->addSubWindow(form);
            child->showMaximized();
        } else {
            form->setWindowFlag(Qt::Window);
            form->showMaximized();
        }
    }
    if (auto* child = qobject_cast<QMdiSubWindow*>(form->parentWidget())) {
        child->mdiArea()->setActiveSubWindow(child);
    } else {
        form->raise();
        form->activateWindow();
    }
}

template <typename Dialog> void showModal(const QSqlDatabase& db) {
    Dialog dialog(application(), db);
    dialogs().exec(&dialog);
}

} // namespace

} // namespace zq

using namespace zq;

ZQ_EXPORT int32_t RunAppEvn(intptr_t hintWindowClass, intptr_t application, intptr_t screen,
                            int32_t, int32_t mode, int32_t, int32_t) {
    try {
        installHostObjects(hintWindowClass, application, screen);
        const QSqlDatabase db = ensureDataModule()->connection();
        switch (mode) {
        case 1:
            showManagerWindow(db);
            break;
        case 2:
            showModal<RegisterTemplateDialog>(db);
            break;
        case 3:
            showModal<BatchRegisterDialog>(db);
            break;
        default:
            break;
        }
        return 0;
    } catch (...) {
        return -1;
    }
}

ZQ_EXPORT void GetDocList(void* tree) {
    try {
        // The host gets no result from this call: a catalogue that cannot be read leaves the
        // tree as it was and is shown as an error, as every other failure is.
        if (auto* widget = static_cast<QTreeWidget*>(tree))
            guarded(widget, [widget] { loadClassTree(widget, ensureDataModule()->connection()); });
    } catch (...) {
    }
}

// The data-pack share of the catalogue is not offered yet: the procedures install the host's
// objects and make the data module as the protocol asks, then report failure.
ZQ_EXPORT int32_t ZQPackage_View(intptr_t application, intptr_t screen, intptr_t hintWindowClass,
                                 int32_t) {
    try {
        installHostObjects(hintWindowClass, application, screen);
        ensureDataModule();
    } catch (...) {
    }
    return -1;
}

ZQ_EXPORT int32_t ZQPackage_ExportProc(intptr_t application, intptr_t screen,
                                       intptr_t hintWindowClass, int32_t, intptr_t) {
    try {
        installHostObjects(hintWindowClass, application, screen);
        ensureDataModule();
    } catch (...) {
    }
    return -1;
}

ZQ_EXPORT void ZQPackage_Export(intptr_t application, intptr_t screen, intptr_t hintWindowClass,
                                int32_t, char**) {
    try {
        installHostObjects(hintWindowClass, application, screen);
    } catch (...) {
    }
}

ZQ_EXPORT int32_t ZQPackage_ImportProc(intptr_t application, intptr_t screen,
                                       intptr_t hintWindowClass, int32_t, const char*, intptr_t) {
    try {
        installHostObjects(hintWindowClass, application, screen);
    } catch (...) {
    }
    return -1;
}

ZQ_EXPORT int32_t ZQPackage_Import(intptr_t application, intptr_t screen, intptr_t hintWindowClass,
                                   int32_t, const char*) {
    try {
        installHostObjects(hintWindowClass, application, screen);
        ensureDataModule();
    } catch (...) {
    }
    return -1;
}

ZQ_EXPORT int32_t ZQPackage_Free(intptr_t application, intptr_t screen, intptr_t hintWindowClass,
                                 int32_t, uint8_t) {
    try {
        installHostObjects(hintWindowClass, application, screen);
    } catch (...) {
    }
    return -1;
}
