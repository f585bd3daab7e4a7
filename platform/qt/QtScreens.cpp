// Reads the screens and the pointer from Qt.
#include "platform/qt/QtScreens.h"

#include "platform/qt/ScreenCoordinates.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>

namespace mirano {

namespace {
ScreenInfo info(const QScreen* screen) {
    return ScreenInfo{toScreenPoints(QRectF(screen->geometry())),
                      toScreenPoints(QRectF(screen->availableGeometry())),
                      screen->devicePixelRatio()};
}
}  // namespace

std::vector<ScreenInfo> QtScreens::screens() const {
    std::vector<ScreenInfo> result;
    // Qt lists the primary screen first, as the rest of Mirano expects.
    if (const QScreen* primary = QGuiApplication::primaryScreen()) result.push_back(info(primary));
    for (const QScreen* screen : QGuiApplication::screens())
        if (screen != QGuiApplication::primaryScreen()) result.push_back(info(screen));
    return result;
}

std::optional<ScreenInfo> QtScreens::mainScreen() const {
    if (const QScreen* primary = QGuiApplication::primaryScreen()) return info(primary);
    return std::nullopt;
}

QPointF QtScreens::mouseLocation() const { return toScreenPoints(QPointF(QCursor::pos())); }

}  // namespace mirano
