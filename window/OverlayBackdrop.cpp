#include "window/OverlayBackdrop.h"

#include <QColor>
#include <QPainter>
#include <QPainterPath>

namespace mirano {

void paintOverlayBackdrop(QPainter& painter, const QRect& rect, double radius, double opacity) {
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    path.addRoundedRect(QRectF(rect), radius, radius);
    painter.fillPath(path, QColor::fromRgbF(0, 0, 0, opacity));
}

}  // namespace mirano
