#include "platform/qt/ScreenCoordinates.h"

#include <QGuiApplication>
#include <QScreen>

namespace mirano {

double primaryScreenHeight() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry().height() : 0.0;
}

QRectF toScreenPoints(const QRectF& r) {
    return QRectF(r.x(), primaryScreenHeight() - r.y() - r.height(), r.width(), r.height());
}

QRectF fromScreenPoints(const QRectF& r) {
    // The flip is its own inverse.
    return toScreenPoints(r);
}

QPointF toScreenPoints(const QPointF& p) { return QPointF(p.x(), primaryScreenHeight() - p.y()); }

QPointF fromScreenPoints(const QPointF& p) { return toScreenPoints(p); }

}  // namespace mirano
