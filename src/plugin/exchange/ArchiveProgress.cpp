#include "exchange/ArchiveProgress.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <future>
#include <optional>
#include <thread>
#include <unistd.h>

namespace zq {

namespace {

// What the kernel counts of a thread's I/O.
struct ThreadIo {
    qint64 read = 0;
    qint64 written = 0;
    qint64 writeCalls = 0;
};

// The thread's counters; zeros when they cannot be told.
ThreadIo threadIo(pid_t thread) {
    QFile io(QStringLiteral("/proc/self/task/%1/io").arg(thread));
    if (!io.open(QIODevice::ReadOnly))
        return {};
    const QByteArray text = io.readAll();
    const auto field = [&](const QByteArray& name) {
        const qsizetype at = text.indexOf(name + ':');
        const qsizetype from = at + name.size() + 1;
        return at < 0 ? 0 : text.mid(from, text.indexOf('\n', at) - from).trimmed().toLongLong();
    };
    return {field("rchar"), field("wchar"), field("syscw")};
}

// Runs the call on a thread of its own and hands `progress` what `measure` makes of the I/O
// the thread has done since it began, a few times a second; `meanwhile` as
// runWithExtractProgress says.
QString runWatched(const std::function<QString()>& call, qint64 total,
                   const std::function<qint64(const ThreadIo& since)>& measure,
                   const std::function<void(qint64 done, qint64 total)>& progress,
                   const std::function<void(int waitMs)>& meanwhile = {}) {
    if (!progress && !meanwhile)
        return call();
    std::atomic<pid_t> thread{0};
    ThreadIo before;
    std::packaged_task<QString()> task([&] {
        before = threadIo(::gettid()); // reading the counters counts too
        thread = ::gettid();           // after `before`, which it publishes
        return call();
    });
    std::future<QString> result = task.get_future();
    std::thread worker(std::move(task));
    constexpr auto kStep = std::chrono::milliseconds(200);
    qint64 shown = 0;
    if (progress)
        progress(shown, total);
    auto nextShow = std::chrono::steady_clock::now() + kStep;
    for (;;) {
        if (meanwhile)
            meanwhile(int(kStep.count()));
        if (result.wait_for(meanwhile ? std::chrono::milliseconds(0) : kStep) ==
            std::future_status::ready)
            break;
        const pid_t id = thread;
        if (!progress || !id || std::chrono::steady_clock::now() < nextShow)
            continue;
        const ThreadIo now = threadIo(id);
        // Never back: the thread's counters go with it as it ends.
        shown = std::clamp(measure({now.read - before.read, now.written - before.written,
                                    now.writeCalls - before.writeCalls}),
                           shown, std::max(shown, total));
        progress(shown, total);
        nextShow = std::chrono::steady_clock::now() + kStep;
    }
    worker.join();
    if (meanwhile)
        meanwhile(0);
    if (progress)
        progress(total, total);
    return result.get();
}

quint64 le(const QByteArray& bytes, qsizetype at, int size) {
    quint64 value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = value << 8 | quint8(bytes[at + i]);
    return value;
}

// What unpacking a zip archive writes, as its central directory lists it.
struct UnpackWork {
    qint64 entries = 0;
    qint64 bytes = 0;
};

// The work of the package's entries; nothing when its directory cannot be read (the host then
// refuses the package). A ZIP64 end record and sizes in ZIP64 extra fields are read too.
std::optional<UnpackWork> unpackWork(const QString& packagePath) {
    QFile file(packagePath);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const qint64 tailSize = std::min<qint64>(file.size(), 22 + 0xFFFF);
    file.seek(file.size() - tailSize);
    const QByteArray tail = file.read(tailSize);
    const qsizetype end = tail.lastIndexOf(QByteArray("PK\x05\x06", 4));
    if (end < 0 || end + 22 > tail.size())
        return std::nullopt;
    quint64 count = le(tail, end + 10, 2);
    quint64 size = le(tail, end + 12, 4);
    quint64 offset = le(tail, end + 16, 4);
    if (count == 0xFFFF || size == 0xFFFFFFFF || offset == 0xFFFFFFFF) {
        if (end < 20 || le(tail, end - 20, 4) != 0x07064b50 ||
            !file.seek(qint64(std::min<quint64>(le(tail, end - 12, 8), quint64(file.size())))))
            return std::nullopt;
        const QByteArray record = file.read(56);
        if (record.size() < 56 || le(record, 0, 4) != 0x06064b50)
            return std::nullopt;
        count = le(record, 32, 8);
        size = le(record, 40, 8);
        offset = le(record, 48, 8);
    }
    if (offset > quint64(file.size()) || size > quint64(file.size()) - offset ||
        !file.seek(qint64(offset)))
        return std::nullopt;
    const QByteArray directory = file.read(qint64(size));
    // A declared size only weighs the progress: bounded, so that no sum overflows.
    constexpr qint64 kMostBytes = qint64(1) << 40;
    UnpackWork work;
    qsizetype at = 0;
    for (quint64 i = 0; i < count; ++i) {
        if (at + 46 > directory.size() || le(directory, at, 4) != 0x02014b50)
            return std::nullopt;
        const qsizetype extra = at + 46 + qsizetype(le(directory, at + 28, 2));
        const qsizetype extraEnd = extra + qsizetype(le(directory, at + 30, 2));
        const qsizetype next = extraEnd + qsizetype(le(directory, at + 32, 2));
        if (next > directory.size())
            return std::nullopt;
        quint64 bytes = le(directory, at + 24, 4);
        // A saturated size is the first field of the ZIP64 extra field.
        for (qsizetype field = extra; bytes == 0xFFFFFFFF && field + 12 <= extraEnd;
             field += 4 + qsizetype(le(directory, field + 2, 2)))
            if (le(directory, field, 2) == 0x0001)
                bytes = le(directory, field + 4, 8);
        work.entries += 1;
        work.bytes =
            std::min(kMostBytes, work.bytes + qint64(std::min<quint64>(bytes, kMostBytes)));
        at = next;
    }
    return work;
}

} // namespace

QString runWithReadProgress(const std::function<QString()>& call, qint64 totalBytes,
                            const std::function<void(qint64 done, qint64 total)>& progress) {
    return runWatched(
        call, totalBytes, [](const ThreadIo& since) { return since.read; }, progress);
}

QString runWithExtractProgress(const std::function<QString()>& call, const QString& packagePath,
                               const std::function<void(qint64 done, qint64 total)>& progress,
                               const std::function<void(int waitMs)>& meanwhile) {
    // Making an entry's file takes about as long as unpacking this many bytes.
    constexpr qint64 kMadeBytes = qint64(40) << 10;
    const qint64 package = QFileInfo(packagePath).size();
    const UnpackWork work = unpackWork(packagePath).value_or(UnpackWork());
    const double whole =
        double(package) + double(work.bytes) + double(work.entries) * double(kMadeBytes);
    return runWatched(
        call, package,
        [&](const ThreadIo& since) {
            // The package may be read more than once; a small file takes one write.
            const double done =
                double(std::min(since.read, package)) +
                double(std::min(since.written, work.bytes)) +
                double(std::min(since.writeCalls, work.entries)) * double(kMadeBytes);
            return whole > 0 ? qint64(done / whole * double(package)) : 0;
        },
        progress, meanwhile);
}

} // namespace zq
