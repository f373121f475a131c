#include "ui/PackagePreviewWindow.h"

#include "ui/DataPackFrame.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace zq {

PackagePreviewWindow::PackagePreviewWindow(QWidget* owner, const QSqlDatabase& db)
    : QDialog(owner)
    , m_frame(new DataPackFrame(this)) {
    setObjectName(QStringLiteral("Frm_View"));
    setWindowTitle(QStringLiteral("文档模板导出预览"));
    m_frame->setObjectName(QStringLiteral("Frame_Export1"));
    m_frame->setDetailVisible(false);
    m_frame->showCatalogue(db);
    m_frame->removeCheckBoxes();

    auto* bottom = new QWidget(this);
    bottom->setFixedHeight(41);
    auto* bottomLayout = new QHBoxLayout(bottom);
    bottomLayout->addStretch();
    auto* close = new QPushButton(QStringLiteral("关闭"), bottom);
    close->setObjectName(QStringLiteral("BtBtnCancel"));
    close->setDefault(true);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    bottomLayout->addWidget(close);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_frame, 1);
    layout->addWidget(bottom);
    resize(500, 480);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

} // namespace zq
