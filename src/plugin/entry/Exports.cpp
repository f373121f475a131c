// The library's exports. Each catches every failure at its door: nothing may unwind into the
// host, which is not C++ on the other side of this boundary.

#include "entry/DataModule.h"
#include "exchange/PackageWriter.h"
#include "platform/HostPlatform.h"
#include "platform/UiReferences.h"
#include "registration/BatchRegisterDialog.h"
#include "registration/RegisterTemplateDialog.h"
#include "ui/DataPackExportFrame.h"
#include "ui/DialogService.h"
#include "ui/ManagerWindow.h"
#include "ui/SelectionTreeView.h"
#include "ui/TreeNodes.h"
#include "util/Gb18030.h"

#include <QDir>
#include <QHash>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <cstdint>
#include <cstdlib>
#include <cstring>

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

// The data kind of the catalogue's share in the host's data pack.
constexpr int32_t kTemplateDataKind = 101;
const QString kExportFrameName = QStringLiteral("Temp_ExportFrame");
const QString kImportFrameName = QStringLiteral("Temp_ImportFrame");

// The frames live in the host's containers, which need not belong to the application: they are
// found again by name here.
QPointer<DataPackExportFrame>& frameSlot(const QString& name) {
    static QHash<QString, QPointer<DataPackExportFrame>> frames;
    return frames[name];
}

DataPackExportFrame* findFrame(const QString& name) {
    return frameSlot(name).data();
}

// A frame inside the host's container, filling it; without one it stays with the application.
DataPackExportFrame* makeFrame(const QString& name, intptr_t parentControl) {
    auto* container = reinterpret_cast<QWidget*>(parentControl);
    auto* frame = new DataPackExportFrame(container ? container : application());
    frame->setObjectName(name);
    frameSlot(name) = frame;
    if (container) {
        if (!container->layout())
            (new QVBoxLayout(container))->setContentsMargins(0, 0, 0, 0);
        container->layout()->addWidget(frame);
    }
    return frame;
}

// Sets the host's out text: a malloc'ed copy that the host frees.
void setOutText(char** out, const QString& text) {
    if (!out)
        return;
    std::free(*out);
    *out = strdup(toGb18030(text).constData());
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

// The preview and the import side of the data-pack share are not offered yet: they install the
// host's objects and make the data module as the protocol asks, then report failure.
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
                                       intptr_t hintWindowClass, int32_t dataKind,
                                       intptr_t parentControl) {
    try {
        installHostObjects(hintWindowClass, application, screen);
        const QSqlDatabase db = ensureDataModule()->connection();
        if (dataKind == kTemplateDataKind && !findFrame(kExportFrameName)) {
            DataPackExportFrame* frame = makeFrame(kExportFrameName, parentControl);
            fillSelectionView(frame->tree(), fillSelectionTree(db), true);
        }
        return 1;
    } catch (...) {
        return -1;
    }
}

// The ticked part of the export frame as "DocMod.Pck" in the host's data-pack folder; "-2"
// when no template was ticked, the empty text when there is no frame or the package failed.
// A ticked template without its stored file is left out and not counted.
ZQ_EXPORT void ZQPackage_Export(intptr_t application, intptr_t screen, intptr_t hintWindowClass,
                                int32_t, char** packPath) {
    try {
        installHostObjects(hintWindowClass, application, screen);
        const DataPackExportFrame* frame = findFrame(kExportFrameName);
        if (!frame)
            return;
        QString folder = hostPlatform().GetZQTempPathY();
        if (!folder.endsWith(QLatin1Char('/')))
            folder += QLatin1Char('/');
        folder += QStringLiteral("~DocMod/");
        if (!QDir().mkpath(folder))
            return;
        const QString package = folder + QStringLiteral("DocMod.Pck");
        const int templates =
            writePackage(ensureDataModule()->connection(), selectionOfView(frame->tree()), package)
                .templates;
        setOutText(packPath, templates > 0 ? package : QStringLiteral("-2"));
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
                                 int32_t dataKind, uint8_t) {
    try {
        installHostObjects(hintWindowClass, application, screen);
        if (dataKind == kTemplateDataKind)
            for (const QString& name : {kImportFrameName, kExportFrameName})
                delete findFrame(name);
    } catch (...) {
    }
    return -1;
}
