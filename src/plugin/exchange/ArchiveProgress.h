#pragma once

#include <QString>
#include <functional>

namespace zq {

// The host's archive calls give no word until they end. These run one on a thread of its own
// and meanwhile tell a few times a second how far it is, from what the kernel counts of that
// thread's reads and writes, never going back, and the total at the end. Without a progress
// callback (and nothing to do meanwhile) the call runs here, as it is.

// How many bytes of `totalBytes` the thread has read: the staged files while they are packed.
QString runWithReadProgress(const std::function<QString()>& call, qint64 totalBytes,
                            const std::function<void(qint64 done, qint64 total)>& progress);

// How far unpacking the package into an empty folder is, in bytes of the package (its total):
// the package read, the bytes of its entries written, and a file made for each entry, as its zip
// directory counts them, each weighed by its share of the time. The host writes the files of an
// empty folder in place, so that writing them is the whole of the work.
// `meanwhile(waitMs)`, when given, runs over and over on this thread while the call runs: it may
// wait up to that long for work of its own and do some of it, and must not throw; once the call
// has ended, it is called with 0 for what is left.
QString runWithExtractProgress(const std::function<QString()>& call, const QString& packagePath,
                               const std::function<void(qint64 done, qint64 total)>& progress,
                               const std::function<void(int waitMs)>& meanwhile = {});

} // namespace zq
