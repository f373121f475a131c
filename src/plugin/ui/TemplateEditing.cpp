#include "ui/TemplateEditing.h"

#include "catalogue/TemplateFiles.h"
#include "catalogue/TemplateStore.h"
#include "platform/HostPlatform.h"
#include "widgets/DialogService.h"

#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QTimer>
#include <QWidget>

namespace zq {

TemplateEditing::TemplateEditing(QWidget* window, const QSqlDatabase& db)
    : QObject(window)
    , m_window(window)
    , m_db(db)
    , m_watcher(new QFileSystemWatcher(this)) {
    auto* uploadDelay = new QTimer(this);
    uploadDelay->setSingleShot(true);
    uploadDelay->setInterval(500);
    connect(m_watcher, &QFileSystemWatcher::fileChanged, uploadDelay, qOverload<>(&QTimer::start));
    connect(uploadDelay, &QTimer::timeout, this,
            [this] { guarded(m_window, [this] { uploadEdited(); }); });
}

// The viewer works on the stored file itself; what it changes there goes to the catalogue.
void TemplateEditing::open(const QString& storedPath, const QString& title) {
    const QString path = currentFile(storedPath);
    if (QFileInfo::exists(path)) {
        m_opened.insert(path, localFileSha256(path));
        if (!m_watcher->files().contains(path))
            m_watcher->addPath(path);
    }
    hostPlatform().ViewFile(path, 1, title);
}

QString TemplateEditing::currentFile(const QString& storedPath) {
    uploadEdited();
    const QString store = templateStorePath();
    return storedPath.startsWith(store) ? localTemplateFile(m_db, storedPath.mid(store.size()))
                                        : storedPath;
}

void TemplateEditing::uploadEdited() {
    const QString store = templateStorePath();
    for (auto it = m_opened.begin(); it != m_opened.end(); ++it) {
        // An editor that saves under a new name and renames it replaces the watched file.
        if (!m_watcher->files().contains(it.key()) && QFileInfo::exists(it.key()))
            m_watcher->addPath(it.key());
        const QString sha256 = localFileSha256(it.key());
        if (sha256.isEmpty() || sha256 == it.value())
            continue;
        uploadLocalCopy(m_db, store, it.key().mid(store.size()));
        it.value() = sha256;
    }
}

} // namespace zq
