// Reads the screens and the pointer from Qt.
#include "platform/qt/QtScreens.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>

namespace mirano {

namespace {
ScreenInfo info(const QScreen* screen) {
    return ScreenInfo{QRectF(screen->geometry()), QRectF(screen->availableGeometry()),
                      screen->devicePixelRatio()};
}
}  // namespace

std::vector<ScreenInfo> QtScreens::screens() const {
    std::vector<ScreenInfo> result;
    const QScreen* primary = QGuiApplication::primaryScreen();
    if (primary) result.push_back(info(primary));
    for (const QScreen* screen : QGuiApplication::screens())
        if (screen != primary) result.push_back(info(screen));
    return result;
}

std::optional<ScreenInfo> QtScreens::mainScreen() const {
    if (const QScreen* primary = QGuiApplication::primaryScreen()) return info(primary);
    return std::nullopt;
}

QPointF QtScreens::pointerPosition() const { return QPointF(QCursor::pos()); }

}  // namespace mirano
