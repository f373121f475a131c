#include "ui/TemplateEditing.h"

#include "catalogue/FileHashes.h"
#include "catalogue/LocalCopies.h"
#include "catalogue/TemplateDocuments.h"
#include "catalogue/TemplateFiles.h"
#include "catalogue/TemplateStore.h"
#include "platform/HostPlatform.h"
#include "util/DesktopApps.h"
#include "widgets/DialogService.h"
#include "widgets/UiReferences.h"

#include <QDir>
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
    if (!desktopCanOpen(path))
        return tellNoViewer(path);
    if (QFileInfo::exists(path)) {
        m_opened.insert(path, inStep(path));
        if (!m_watcher->files().contains(path))
            m_watcher->addPath(path);
    }
    hostPlatform().ViewFile(path, 1, title);
}

// The host's viewer would do nothing: the person learns where the file is, and may open its
// folder when the desktop has a program for that.
void TemplateEditing::tellNoViewer(const QString& path) {
    const QFileInfo file(path);
    const QString text =
        QStringLiteral("本机没有可以打开“%1”这类文件的程序，模板未能打开。\n\n文件位置：%2")
            .arg(file.fileName(), QDir::toNativeSeparators(path));
    const QString folder = file.absolutePath();
    if (!desktopCanOpen(folder))
        return dialogs().warn(m_window, applicationTitle(), text);
    if (dialogs().choose(m_window, applicationTitle(), text, {QStringLiteral("打开所在文件夹")}) ==
        0)
        hostPlatform().ViewFile(folder, 1, file.fileName());
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
        if (sha256.isEmpty() || sha256 == it.value().sha256)
            continue;
        const QString fileName = it.key().mid(store.size());
        try {
            uploadLocalCopy(m_db, store, fileName, it.value().sha256, it.value().bytes);
        } catch (const FileChangedMeanwhile&) {
            // Undecided, it is asked again at the next look.
            if (resolveConflict(store, fileName))
                it.value() = inStep(it.key());
            continue;
        }
        it.value() = inStep(it.key());
    }
}

TemplateEditing::InStep TemplateEditing::inStep(const QString& path) const {
    const QFileInfo file(path);
    if (keepsFileBytes(m_db) || !file.isFile() || file.isSymLink())
        return {localFileSha256(path), {}};
    const LocalFile local = readLocalFile(path);
    return {local.sha256, local.bytes};
}

bool TemplateEditing::resolveConflict(const QString& store, const QString& fileName) {
    const QList<TemplateRecord> rows = readFileTemplates(m_db, fileName);
    const QString caption = rows.isEmpty() ? fileName : rows.first().caption;
    const int choice = dialogs().choose(
        m_window, applicationTitle(),
        QStringLiteral("模板“%1”在您编辑期间已被其他用户修改并保存。").arg(caption),
        {QStringLiteral("保留我的修改"), QStringLiteral("保留对方的修改"),
         QStringLiteral("另存为新模板")});
    switch (choice) {
    case 0:
        uploadLocalCopy(m_db, store, fileName);
        return true;
    case 2:
        if (!rows.isEmpty()) {
            // The edited file leaves under a free name, catalogued as the new template.
            TemplateRecord copy = rows.first();
            copy.caption += QStringLiteral("（副本）");
            addStoredTemplate(m_db, copy, store, nullptr);
        }
        [[fallthrough]];
    case 1:
        localTemplateFile(m_db, fileName);
        return true;
    default:
        return false;
    }
}

} // namespace zq
