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

QRectF inScaleOf(const QScreen& screen, const QRect& native) {
    const double ratio = screen.devicePixelRatio();
    const QPointF origin(screen.geometry().topLeft());
    return QRectF(origin + (QPointF(native.topLeft()) - origin) / ratio,
                  QSizeF(native.size()) / ratio);
}
}  // namespace

QRectF toLogical(const QRect& native) {
    // Qt places a top-level by the screen holding its logical centre and scales it about
    // that screen's origin: the inverse is the screen whose conversion has its centre there.
    if (qGuiApp) {
        for (const QScreen* screen : QGuiApplication::screens()) {
            const QRectF logical = inScaleOf(*screen, native);
            const QRectF area(screen->geometry());
            const QPointF c = logical.center();
            if (c.x() >= area.left() && c.x() < area.left() + area.width() && c.y() >= area.top() &&
                c.y() < area.top() + area.height())
                return logical;
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
