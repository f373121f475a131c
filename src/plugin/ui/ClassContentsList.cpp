#include "ui/ClassContentsList.h"

#include "catalogue/TemplateDocuments.h"
#include "catalogue/TemplateFiles.h"
#include "catalogue/TemplateStore.h"
#include "ui/ImageList.h"
#include "ui/ManagerView.h"
#include "ui/TreeNodes.h"

#include <QApplication>
#include <QFileInfo>
#include <QPalette>
#include <QTreeWidgetItem>

namespace zq {

namespace {

// A template row whose stored file is gone: greyed, and saying why.
void markMissingFile(QTreeWidgetItem* row) {
    static const QIcon greyed(imageListIcon(kTemplateImage).pixmap(16, QIcon::Disabled));
    row->setIcon(kColCaption, greyed);
    for (int column : {kColCaption, kColMemo, kColClassName}) {
        row->setForeground(column,
                           QApplication::palette().brush(QPalette::Disabled, QPalette::Text));
        row->setToolTip(column, QStringLiteral("模板文件不存在"));
    }
}

} // namespace

QList<QTreeWidgetItem*> classContentItems(const QSqlDatabase& db, const QString& classCode) {
    const QList<ClassContentRow> rows = readClassContents(db, classCode);
    const QSet<QString> kept = keptFileNamesOfClass(db, classCode);
    const QString store = templateStorePath();
    QList<QTreeWidgetItem*> items;
    items.reserve(rows.size());
    for (const ClassContentRow& row : rows) {
        // A class row carries the store and its blank, as the host has always seen it.
        const QString path =
            row.image == kClassImage ? store + row.fileName : storedFilePath(row.fileName);
        auto* item = new QTreeWidgetItem(
            QStringList{row.caption, row.memo, row.className, row.id, row.typeCaption, path});
        setImageIndex(item, row.image);
        // Missing only when neither the catalogue nor this workstation has it.
        if (row.image == kTemplateImage && !kept.contains(row.fileName) &&
            !QFileInfo::exists(store + row.fileName))
            markMissingFile(item);
        items.append(item);
    }
    return items;
}

} // namespace zq
