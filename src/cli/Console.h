#pragma once

#include "exchange/PackageFolders.h"

#include <QString>

namespace zq::cli {

// Standard output in UTF-8, whatever the locale.
void print(const QString& text);
// One line on standard error.
void printError(const QString& text);

// Asks a yes/no question on standard output and reads the answer from standard input; only
// "y" or "yes" agrees, and the end of the input declines.
bool confirm(const QString& question);

// Counts and a bar on standard error for long work, and nothing when standard error is not a
// terminal. A new label starts a new bar on the same line; the line is cleared when done.
class Progress {
public:
    Progress();
    ~Progress();
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;
    void update(const QString& label, qint64 done, qint64 total);

private:
    bool m_shown;
    QString m_label;
    qint64 m_lastDone = -1;
    int m_lastFilled = -1;
};

// Runs package work, handing it a progress callback, and clears the progress line before
// giving the work's result. `label` names the work's count of entries; while the archive is
// packed or unpacked, the bar says so and counts MB.
template <typename Work> auto withProgress(const QString& label, Work work) {
    Progress progress;
    return work(PackageProgress([&](PackageStage stage, qint64 done, qint64 total) {
        if (stage == PackageStage::Compressing || stage == PackageStage::Extracting)
            progress.update(stage == PackageStage::Compressing ? QStringLiteral("正在压缩（MB）")
                                                               : QStringLiteral("正在解压（MB）"),
                            (done + (1 << 20) - 1) >> 20, (total + (1 << 20) - 1) >> 20);
        else
            progress.update(label, done, total);
    }));
}

} // namespace zq::cli
