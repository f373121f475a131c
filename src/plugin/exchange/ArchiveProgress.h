#pragma once

#include <QString>
#include <functional>

namespace zq {

// Runs one of the host's archive calls, which give no word until they end, on a thread of its
// own, and meanwhile tells a few times a second how many bytes of `totalBytes` that thread has
// read: the package while it is unpacked, the staged files while they are packed. Without a
// progress callback the call runs here, as it is.
QString runWithReadProgress(const std::function<QString()>& call, qint64 totalBytes,
                            const std::function<void(qint64 done, qint64 total)>& progress);

} // namespace zq
