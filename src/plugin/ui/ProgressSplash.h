#pragma once

#include "exchange/PackageFolders.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QWidget>

class QLabel;
class QMovie;

namespace zq {

// The application's one splash window, "aSplash_Audit": a borderless strip with an animation
// and a one-line hint, shown while long work runs.
class ProgressSplash : public QWidget {
    Q_OBJECT
public:
    explicit ProgressSplash(QWidget* owner);

    QString hintText() const;
    // The window's width follows the hint: the label's left edge, its width and 15.
    void setHintText(const QString& text);
    void setCaptionText(const QString& text);
    QLabel* animationArea() const { return m_animation; }

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QLabel* m_animation = nullptr;
    QLabel* m_hint = nullptr;
    QMovie* m_movie = nullptr;
};

// One long operation behind the splash: start shows it with a hint and disables the form the
// work was started from, stop (or the end of the object) hides it and enables the form again.
// The splash window itself stays with the application for the next operation.
class SplashProcess {
public:
    SplashProcess();
    ~SplashProcess();
    SplashProcess(const SplashProcess&) = delete;
    SplashProcess& operator=(const SplashProcess&) = delete;

    // The first owner form given is kept for every later start and stop.
    void start(const QString& hint, QWidget* owner, const QString& caption = QString());
    void setHint(const QString& hint);
    // The hint followed by done/total, redrawn a few times a second at most.
    void setProgress(const QString& hint, int done, int total);
    void stop();

private:
    QPointer<QWidget> m_owner;
    QPointer<ProgressSplash> m_splash;
    QElapsedTimer m_lastDrawn;
};

// Package work behind the splash: the hint with the count of entries while files are staged
// or catalogued, and what the host is doing with the archive, in MB, while it packs or
// unpacks it.
PackageProgress splashProgress(SplashProcess& process, const QString& hint);

} // namespace zq
