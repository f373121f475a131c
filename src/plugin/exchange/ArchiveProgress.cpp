#include "exchange/ArchiveProgress.h"

#include <QFile>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <future>
#include <thread>
#include <unistd.h>

namespace zq {

namespace {

// The bytes the thread has read so far, as the kernel counts them; 0 when that cannot be told.
qint64 bytesRead(pid_t thread) {
    QFile io(QStringLiteral("/proc/self/task/%1/io").arg(thread));
    if (!io.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray text = io.readAll();
    const qsizetype at = text.indexOf("rchar:");
    return at < 0 ? 0 : text.mid(at + 6, text.indexOf('\n', at) - at - 6).trimmed().toLongLong();
}

} // namespace

QString runWithReadProgress(const std::function<QString()>& call, qint64 totalBytes,
                            const std::function<void(qint64 done, qint64 total)>& progress) {
    if (!progress)
        return call();
    std::atomic<pid_t> thread{0};
    qint64 before = 0;
    std::packaged_task<QString()> task([&] {
        before = bytesRead(::gettid());
        thread = ::gettid(); // after `before`, which it publishes
        return call();
    });
    std::future<QString> result = task.get_future();
    std::thread worker(std::move(task));
    qint64 shown = 0;
    progress(shown, totalBytes);
    while (result.wait_for(std::chrono::milliseconds(200)) != std::future_status::ready) {
        if (const pid_t id = thread) {
            // Never back: the thread's counters go with it as it ends.
            shown = std::clamp(bytesRead(id) - before, shown, std::max(shown, totalBytes));
            progress(shown, totalBytes);
        }
    }
    worker.join();
    progress(totalBytes, totalBytes);
    return result.get();
}

} // namespace zq
