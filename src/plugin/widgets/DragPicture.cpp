#include "widgets/DragPicture.h"

#include <QApplication>
#include <QIcon>
#include <QModelIndex>
#include <QPainter>
#include <QStyle>
#include <QWidget>

namespace zq {

QPixmap dragPicture(const QModelIndex& item, const QWidget* view) {
    constexpr int kMostTextWidth = 240;
    constexpr int kPadding = 4;
    const QFontMetrics metrics(view->font());
    const int iconSize = view->style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, view);
    const QString text =
        metrics.elidedText(item.data(Qt::DisplayRole).toString(), Qt::ElideRight, kMostTextWidth);
    const QIcon icon = item.data(Qt::DecorationRole).value<QIcon>();
    const int iconSpace = icon.isNull() ? 0 : iconSize + kPadding;
    const QSize size(kPadding + iconSpace + metrics.horizontalAdvance(text) + kPadding,
                     std::max(iconSize, metrics.height()) + 2 * kPadding);
    const qreal ratio = view->devicePixelRatioF();
    QPixmap picture(size * ratio);
    picture.setDevicePixelRatio(ratio);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    const QPalette& palette = view->palette();
    painter.setPen(palette.color(QPalette::Mid));
    painter.setBrush(palette.color(QPalette::Highlight).lighter(170));
    painter.setOpacity(0.9);
    painter.drawRoundedRect(QRectF(0.5, 0.5, size.width() - 1, size.height() - 1), 3, 3);
    if (!icon.isNull())
        icon.paint(&painter, kPadding, (size.height() - iconSize) / 2, iconSize, iconSize);
    painter.setFont(view->font());
    painter.setPen(palette.color(QPalette::Text));
    painter.drawText(QRect(kPadding + iconSpace, 0, size.width(), size.height()),
                     Qt::AlignLeft | Qt::AlignVCenter, text);
    return picture;
}

} // namespace zq
