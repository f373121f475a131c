#pragma once

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
// terminal. Clears its line when done.
class Progress {
public:
    explicit Progress(const QString& label);
    ~Progress();
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;
    void update(qint64 done, qint64 total);

private:
    QString m_label;
    bool m_shown;
    qint64 m_lastDone = -1;
    int m_lastFilled = -1;
};

// Runs the work, handing it a progress callback (done, total), and clears the progress line
// before giving the work's result.
template <typename Work> auto withProgress(const QString& label, Work work) {
    Progress progress(label);
    return work([&progress](int done, int total) { progress.update(done, total); });
}

} // namespace zq::cli
