#include "widgets/Icons.h"

#include <QApplication>
#include <QStyle>

namespace zq {

QIcon imageListIcon(int index) {
    static constexpr QStyle::StandardPixmap pixmaps[] = {
        QStyle::SP_FileIcon,               // 0 template, add a template
        QStyle::SP_TrashIcon,              // 1 delete
        QStyle::SP_FileDialogDetailedView, // 2 rename
        QStyle::SP_FileDialogContentsView, // 3 search
        QStyle::SP_MediaSkipBackward,      // 4 first
        QStyle::SP_MediaSeekBackward,      // 5 previous
        QStyle::SP_MediaSeekForward,       // 6 next
        QStyle::SP_MediaSkipForward,       // 7 last
        QStyle::SP_FileDialogInfoView,     // 8 preview
        QStyle::SP_BrowserReload,          // 9 refresh
        QStyle::SP_DirIcon,                // 10 class
        QStyle::SP_FileIcon,               // 11 template
        QStyle::SP_FileDialogNewFolder,    // 12 add a class
        QStyle::SP_FileDialogStart,        // 13 the "add" submenus
        QStyle::SP_FileDialogListView,     // 14 edit a description
        QStyle::SP_DialogSaveButton,       // 15 edit a file
        QStyle::SP_DialogApplyButton,      // 16 register
        QStyle::SP_FileDialogToParent,     // 17 up
        QStyle::SP_ArrowForward,           // 18 forward, export
        QStyle::SP_ArrowBack,              // 19 back, import
    };
    // Made once and shared by every node and action: a fresh icon from the style holds pixmaps
    // of its own, far more than the node that shows it. A function's own static, so that it
    // goes with the library that made it.
    static const QList<QIcon> icons = [] {
        QList<QIcon> made;
        for (const QStyle::StandardPixmap pixmap : pixmaps)
            made.append(QApplication::style()->standardIcon(pixmap));
        return made;
    }();
    if (index < 0 || index >= icons.size())
        return {};
    return icons[index];
}

} // namespace zq
