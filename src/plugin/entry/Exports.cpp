// The library's exports. Each catches every failure at its door: nothing may unwind into the
// host, which is not C++ on the other side of this boundary.

#include "catalogue/CatalogueNotices.h"
#include "entry/DataModule.h"
#include "exchange/DataPack.h"
#include "platform/HostPlatform.h"
#include "registration/BatchRegisterDialog.h"
#include "registration/RegisterTemplateDialog.h"
#include "ui/DataPackFrame.h"
#include "ui/ManagerWindow.h"
#include "ui/PackagePreviewWindow.h"
#include "util/Error.h"
#include "util/Gb18030.h"
#include "widgets/DialogService.h"
#include "widgets/TreeNodes.h"
#include "widgets/UiReferences.h"

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
    hostPlatform(); // binds the host's services by name now, while the host loads us
}

__attribute__((destructor)) void onLibraryUnload() {
    restoreOwnReferences();
    CatalogueNotices::release();
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

// The two frames live in the host's containers from their procedure until they are freed.
enum class Side { Export, Import };

QPointer<DataPackFrame>& frameSlot(Side side) {
    static QPointer<DataPackFrame> exportFrame;
    static QPointer<DataPackFrame> importFrame;
    return side == Side::Export ? exportFrame : importFrame;
}

DataPackFrame* placeFrame(Side side, intptr_t parentControl) {
    auto* container = reinterpret_cast<QWidget*>(parentControl);
    auto* frame = new DataPackFrame(container ? container : application());
    frame->setObjectName(side == Side::Export ? QStringLiteral("Temp_ExportFrame")
                                              : QStringLiteral("Temp_ImportFrame"));
    if (container) {
        if (!container->layout()) {
            auto* layout = new QVBoxLayout(container);
            layout->setContentsMargins(0, 0, 0, 0);
        }
        container->layout()->addWidget(frame);
    }
    frame->show();
    frameSlot(side) = frame;
    return frame;
}

// An out text of the host: a malloc'd GB18030 copy that replaces (and frees) the old value.
void setOutText(char** out, const QString& text) {
    if (!out)
        return;
    const QByteArray bytes = toGb18030(text);
    auto* copy = static_cast<char*>(std::malloc(size_t(bytes.size()) + 1));
    if (!copy)
        return;
    std::memcpy(copy, bytes.constData(), size_t(bytes.size()) + 1);
    std::free(*out);
    *out = copy;
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

ZQ_EXPORT int32_t ZQPackage_View(intptr_t application, intptr_t screen, intptr_t hintWindowClass,
                                 int32_t dataKind) {
    try {
        installHostObjects(hintWindowClass, application, screen);
        const QSqlDatabase db = ensureDataModule()->connection();
        if (dataKind != kTemplateDataKind)
            return -1;
        PackagePreviewWindow window(zq::application(), db);
        dialogs().exec(&window);
        return 1;
    } catch (...) {
        return -1;
    }
}

ZQ_EXPORT int32_t ZQPackage_ExportProc(intptr_t application, intptr_t screen,
                                       intptr_t hintWindowClass, int32_t dataKind,
                                       intptr_t parentControl) {
    try {
        installHostObjects(hintWindowClass, application, screen);
        const QSqlDatabase db = ensureDataModule()->connection();
        if (dataKind != kTemplateDataKind || frameSlot(Side::Export))
            return 1;
        placeFrame(Side::Export, parentControl)->showCatalogue(db);
        return 1;
    } catch (...) {
        return -1;
    }
}

ZQ_EXPORT void ZQPackage_Export(intptr_t application, intptr_t screen, intptr_t hintWindowClass,
                                int32_t, char** packPath) {
    try {
        installHostObjects(hintWindowClass, application, screen);
        if (const DataPackFrame* frame = frameSlot(Side::Export))
            setOutText(packPath,
                       exportDataPack(ensureDataModule()->connection(), frame->selection()));
    } catch (...) {
        // The host reads the empty text as a failed export.
    }
}

ZQ_EXPORT int32_t ZQPackage_ImportProc(intptr_t application, intptr_t screen,
                                       intptr_t hintWindowClass, int32_t dataKind,
                                       const char* packFile, intptr_t parentControl) {
    try {
        installHostObjects(hintWindowClass, application, screen);
        if (dataKind != kTemplateDataKind || frameSlot(Side::Import))
            return 1;
        DataPackFrame* frame = placeFrame(Side::Import, parentControl);
        // "@&@" in front of the path asks to show the package only.
        const QString viewMark = QStringLiteral("@&@");
        QString path = fromGb18030(packFile);
        const bool viewOnly = path.startsWith(viewMark);
        if (viewOnly)
            path.remove(0, viewMark.size());
        frame->showPackage(path);
        if (viewOnly)
            frame->removeCheckBoxes();
        return 1;
    } catch (...) {
        return -1;
    }
}

ZQ_EXPORT int32_t ZQPackage_Import(intptr_t application, intptr_t screen, intptr_t hintWindowClass,
                                   int32_t dataKind, const char*) {
    try {
        installHostObjects(hintWindowClass, application, screen);
        const QSqlDatabase db = ensureDataModule()->connection();
        DataPackFrame* frame = frameSlot(Side::Import);
        if (dataKind != kTemplateDataKind || !frame)
            return -1;
        const DataPackFrame::Ticked ticked = frame->ticked();
        if (ticked.nodes == 0)
            return -2;
        // What was left out is told, with its reasons; the host hears only the outcome.
        const QString title = noticeTitle();
        try {
            const DataPackReport report = importDataPack(db, ticked.entries);
            if (!report.refused.isEmpty())
                dialogs().warn(
                    frame, title,
                    QStringLiteral("数据包已导入，有 %1 项未能导入。").arg(report.refused.size()),
                    report.refused.join(QLatin1Char('\n')));
        } catch (const Error& e) {
            dialogs().error(frame, title, e.message(), e.details());
            return -1;
        }
        return 1;
    } catch (...) {
        return -1;
    }
}

ZQ_EXPORT int32_t ZQPackage_Free(intptr_t application, intptr_t screen, intptr_t hintWindowClass,
                                 int32_t dataKind, uint8_t) {
    try {
        installHostObjects(hintWindowClass, application, screen);
        if (dataKind == kTemplateDataKind)
            for (const Side side : {Side::Import, Side::Export})
                delete frameSlot(side).data();
    } catch (...) {
    }
    return -1;
}
