#include "catalogue/TemplateAdding.h"

#include "catalogue/StoreStaging.h"
#include "catalogue/TemplateFiles.h"
#include "catalogue/TemplateStore.h"

#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>

namespace zq {

qint64 addTemplateFile(const QSqlDatabase& db, const QString& store, const QString& sourcePath,
                       TemplateRecord& row, const TemplateAdmission& admit) {
    StoreStaging staging(store);
    const QString stored = copyToStore(
        sourcePath, staging.store(),
        [&db](const QString& fileName) { return storedNameTaken(db, fileName); }, &staging);
    row.fileName = QFileInfo(stored).fileName();
    qint64 docId = -1;
    const auto discardCopy = qScopeGuard([&] {
        if (docId < 0)
            QFile::remove(staging.store() + row.fileName);
    });
    if (admit && !admit(row, stored))
        return -1;
    docId = addStoredTemplate(db, row, staging.store(), &staging);
    return docId;
}

} // namespace zq
