#include "Console.h"

#include <QTextStream>
#include <cstdio>
#include <unistd.h>

namespace zq::cli {

void print(const QString& text) {
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    std::fflush(stdout);
}

void printError(const QString& text) {
    const QByteArray bytes = (text + QLatin1Char('\n')).toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
}

bool confirm(const QString& question) {
    print(question + QStringLiteral(" [y/N] "));
    static QTextStream in(stdin); // one stream: it reads ahead
    const QString answer = in.readLine().trimmed().toLower();
    if (answer.isNull())
        print(QStringLiteral("\n"));
    return answer == QLatin1String("y") || answer == QLatin1String("yes");
}

Progress::Progress()
    : m_shown(isatty(fileno(stderr))) {
}

Progress::~Progress() {
    if (m_shown)
        std::fputs("\r\033[K", stderr);
}

void Progress::update(const QString& label, qint64 done, qint64 total) {
    if (!m_shown || total <= 0)
        return;
    constexpr int width = 30;
    const int filled = int(width * done / total);
    // A terminal line per step would cost more than the work on a large catalogue.
    if (label == m_label && filled == m_lastFilled && done - m_lastDone < total / 100 &&
        done != total)
        return;
    m_label = label;
    m_lastFilled = filled;
    m_lastDone = done;
    const QString bar =
        QString(filled, QLatin1Char('#')) + QString(width - filled, QLatin1Char('.'));
    const QByteArray line =
        QStringLiteral("\r\033[K%1 [%2] %3/%4").arg(label, bar).arg(done).arg(total).toUtf8();
    std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
    std::fflush(stderr);
}

} // namespace zq::cli
