#include "exchange/UnpackedPackage.h"

#include "exchange/ArchiveProgress.h"
#include "platform/HostPlatform.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

namespace zq {

namespace {

// What a quick look at a package the host would not unpack tells about it: the host's service
// answers only with an empty text.
QString packageDamage(const QString& packagePath) {
    QFile file(packagePath);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("无法读取该文件。");
    if (!file.read(4).startsWith("PK"))
        return QStringLiteral("该文件不是 zip 格式的模板包。");
    const qint64 tail = std::min<qint64>(file.size(), 22 + 0xFFFF);
    file.seek(file.size() - tail);
    if (!file.read(tail).contains(QByteArray("PK\x05\x06", 4)))
        return QStringLiteral("模板包不完整（可能被截断）或已损坏。");
    return QStringLiteral("模板包已损坏，或含有不能解包的条目（不安全的名称、链接、"
                          "特殊文件），或超出解包的限制（条目数、大小、可用空间）。");
}

// The names of the files written and closed in a folder, as the kernel tells them. Names it
// misses (its queue is bounded) are simply not told.
class ClosedFiles {
public:
    explicit ClosedFiles(const QString& folder)
        : m_fd(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
        if (m_fd >= 0 && ::inotify_add_watch(m_fd, QFile::encodeName(folder).constData(),
                                             IN_CLOSE_WRITE | IN_ONLYDIR) < 0) {
            ::close(m_fd);
            m_fd = -1;
        }
    }
    ~ClosedFiles() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    ClosedFiles(const ClosedFiles&) = delete;
    ClosedFiles& operator=(const ClosedFiles&) = delete;

    // Waits up to waitMs for names and hands those the kernel has ready to `closed`; false when
    // there were none.
    template <typename Closed> bool take(int waitMs, Closed closed) {
        pollfd ready{m_fd, POLLIN, 0};
        if (m_fd < 0 || ::poll(&ready, 1, waitMs) <= 0)
            return false;
        alignas(inotify_event) char buffer[64 << 10];
        const ssize_t size = ::read(m_fd, buffer, sizeof buffer);
        for (ssize_t at = 0; at < size;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            if (event->len > 0)
                closed(QFile::decodeName(event->name));
            at += ssize_t(sizeof(inotify_event) + event->len);
        }
        return size > 0;
    }

private:
    int m_fd;
};

} // namespace

UnpackedPackage::UnpackedPackage(const QString& packagePath, const PackageProgress& progress,
                                 bool learnFiles)
    : m_folder(unpackFolder())
    , m_known(m_folder) {
    if (!QFileInfo(packagePath).isFile())
        throw PackageError(PackageError::Kind::MissingPackage, QStringLiteral("文件包不存在！"));
    const WorkFolder& held = m_held.emplace(m_folder);
    if (!held.isReady())
        throw PackageError(PackageError::Kind::UnpackFolder,
                           QStringLiteral("创建文件临时解包文件夹失败！"), held.problem());
    const auto extracting = [&](qint64 done, qint64 total) {
        progress(PackageStage::Extracting, done, total);
    };
    // The files are still in the page cache, and this thread is otherwise idle.
    std::optional<ClosedFiles> closed;
    if (learnFiles)
        closed.emplace(m_folder);
    const auto learn = [&](int waitMs) {
        const auto read = [&](const QString& name) { m_known.read(name); };
        while (closed->take(waitMs, read) && waitMs == 0) {
        }
    };
    if (runWithExtractProgress([&] { return hostPlatform().ExtractFile(packagePath, m_folder); },
                               packagePath,
                               progress ? extracting : std::function<void(qint64, qint64)>(),
                               learnFiles ? learn : std::function<void(int)>())
            .isEmpty())
        throw PackageError(PackageError::Kind::Extraction, QStringLiteral("导入模板文件失败！"),
                           packageDamage(packagePath));
}

Manifest UnpackedPackage::manifest() const {
    return readManifest(m_folder + manifestFileName());
}

} // namespace zq
