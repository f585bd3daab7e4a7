// Root-window pixels to Qt's logical coordinates.
#include "platform/x11/LogicalCoordinates.h"

#include <QGuiApplication>
#include <QScreen>

namespace mirano::x11 {

namespace {
double primaryRatio() {
    const QScreen* primary = qGuiApp ? QGuiApplication::primaryScreen() : nullptr;
    return primary ? primary->devicePixelRatio() : 1.0;
}
}  // namespace

QRectF toLogical(const QRect& native) {
    if (qGuiApp) {
        for (const QScreen* screen : QGuiApplication::screens()) {
            const double ratio = screen->devicePixelRatio();
            const QPoint origin = screen->geometry().topLeft();
            const QRect nativeScreen(origin, screen->geometry().size() * ratio);
            if (!nativeScreen.contains(native.topLeft())) continue;
            return QRectF(QPointF(origin) + QPointF(native.topLeft() - origin) / ratio,
                          QSizeF(native.size()) / ratio);
        }
    }
    const double ratio = primaryRatio();
    return QRectF(QPointF(native.topLeft()) / ratio, QSizeF(native.size()) / ratio);
}

double devicePixelRatioAt(const QPointF& at) {
    const QScreen* screen = qGuiApp ? QGuiApplication::screenAt(at.toPoint()) : nullptr;
    return screen ? screen->devicePixelRatio() : primaryRatio();
}

}  // namespace mirano::x11
