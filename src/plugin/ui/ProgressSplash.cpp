#include "ui/ProgressSplash.h"

#include "catalogue/TemplateStore.h"
#include "widgets/UiReferences.h"

#include <QApplication>
#include <QFileInfo>
#include <QLabel>
#include <QMovie>
#include <QPainter>
#include <QScreen>

namespace zq {

namespace {

const QString kSplashName = QStringLiteral("aSplash_Audit");
const QColor kBackground(0xF0, 0xF0, 0xF0);
const QColor kOutline(0x80, 0x00, 0x40);
constexpr int kHintLeft = 64;
constexpr int kHintTop = 19;
constexpr int kRightMargin = 15;
constexpr int kHeight = 48;
constexpr qint64 kRedrawMs = 100;

// The clip below the host folder; any format the movie player reads will do.
QString animationFile() {
    const QString folder = hostFolder() + QStringLiteral("System/File/");
    for (const char* name : {"disk.avi", "disk.gif"}) {
        const QString path = folder + QString::fromUtf8(name);
        if (QFileInfo(path).isFile())
            return path;
    }
    return {};
}

} // namespace

ProgressSplash::ProgressSplash(QWidget* owner)
    : QWidget(owner, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    setObjectName(kSplashName);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, kBackground);
    setPalette(palette);
    setAutoFillBackground(true);

    m_animation = new QLabel(this);
    m_animation->setObjectName(QStringLiteral("aniProcess"));
    m_animation->setGeometry(15, 7, 35, 35);
    m_animation->setScaledContents(true);
    m_hint = new QLabel(this);
    m_hint->setObjectName(QStringLiteral("lbHint"));
    m_hint->move(kHintLeft, kHintTop);

    setHintText(QStringLiteral("正在处理中，请稍候……"));
    setCaptionText(QStringLiteral("正在进行数据处理"));
}

QString ProgressSplash::hintText() const {
    return m_hint->text();
}

void ProgressSplash::setHintText(const QString& text) {
    m_hint->setText(text);
    m_hint->adjustSize();
    setFixedSize(m_hint->x() + m_hint->width() + kRightMargin, kHeight);
}

void ProgressSplash::setCaptionText(const QString& text) {
    setWindowTitle(text);
}

void ProgressSplash::showEvent(QShowEvent* event) {
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    const QString clip = animationFile();
    if (m_movie) {
        m_movie->stop();
        delete m_movie;
        m_movie = nullptr;
    }
    if (!clip.isEmpty()) {
        m_movie = new QMovie(clip, QByteArray(), this);
        if (m_movie->isValid()) {
            m_animation->setMovie(m_movie);
            m_movie->start();
        }
    }
    if (!m_movie || !m_movie->isValid())
        m_animation->clear();
    QWidget::showEvent(event);
}

void ProgressSplash::hideEvent(QHideEvent* event) {
    if (m_movie)
        m_movie->stop();
    QWidget::hideEvent(event);
}

void ProgressSplash::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setPen(kOutline);
    painter.setBrush(kBackground);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

SplashProcess::SplashProcess()
    : m_splash(qobject_cast<ProgressSplash*>(findComponent(kSplashName))) {
    if (m_splash)
        m_splash->hide();
}

SplashProcess::~SplashProcess() {
    stop();
}

void SplashProcess::start(const QString& hint, QWidget* owner, const QString& caption) {
    if (!m_owner)
        m_owner = owner;
    if (m_owner)
        m_owner->setEnabled(false);
    m_splash = qobject_cast<ProgressSplash*>(findComponent(kSplashName));
    if (!m_splash)
        m_splash = new ProgressSplash(application());
    setHint(hint);
    if (!caption.isEmpty())
        m_splash->setCaptionText(caption);
    m_splash->show();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void SplashProcess::setHint(const QString& hint) {
    if (!m_splash)
        return;
    m_splash->setHintText(hint);
    // Draws the splash; what the user types or clicks meanwhile waits for the work to end.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void SplashProcess::setProgress(const QString& hint, int done, int total) {
    if (done < total && m_lastDrawn.isValid() && m_lastDrawn.elapsed() < kRedrawMs)
        return;
    setHint(QStringLiteral("%1 %2/%3").arg(hint).arg(done).arg(total));
    m_lastDrawn.start();
}

void SplashProcess::stop() {
    if (m_splash && m_splash->isVisible())
        m_splash->hide();
    if (m_owner)
        m_owner->setEnabled(true);
}

PackageProgress splashProgress(SplashProcess& process, const QString& hint) {
    return [&process, hint](PackageStage stage, qint64 done, qint64 total) {
        const auto megabytes = [](qint64 bytes) { return int((bytes + (1 << 20) - 1) >> 20); };
        switch (stage) {
        case PackageStage::Staging:
        case PackageStage::Cataloguing:
            return process.setProgress(hint, int(done), int(total));
        case PackageStage::Compressing:
            return process.setProgress(QStringLiteral("正在压缩文档模板包（MB）"), megabytes(done),
                                       megabytes(total));
        case PackageStage::Extracting:
            return process.setProgress(QStringLiteral("正在解包文档模板包（MB）"), megabytes(done),
                                       megabytes(total));
        }
    };
}

} // namespace zq
