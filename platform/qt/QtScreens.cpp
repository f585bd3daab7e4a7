// Reads the screens and the pointer from Qt.
#include "platform/qt/QtScreens.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>

namespace mirano {

namespace {
ScreenInfo info(const QScreen* screen) {
    return ScreenInfo{QRectF(screen->geometry()), QRectF(screen->availableGeometry()),
                      screen->devicePixelRatio(), screen->name()};
}
}  // namespace

QtScreens::QtScreens(QObject* parent) : Screens(parent) {
    if (!qGuiApp) return;
    // Qt tells of a removed screen before it drops it from its list: the news is queued.
    connect(qGuiApp, &QGuiApplication::screenAdded, this, [this](QScreen* screen) {
        follow(screen);
        emit changed();
    });
    connect(qGuiApp, &QGuiApplication::screenRemoved, this, &Screens::changed,
            Qt::QueuedConnection);
    connect(qGuiApp, &QGuiApplication::primaryScreenChanged, this, &Screens::changed);
    for (QScreen* screen : QGuiApplication::screens()) follow(screen);
}

void QtScreens::follow(QScreen* screen) {
    connect(screen, &QScreen::geometryChanged, this, &Screens::changed);
    connect(screen, &QScreen::availableGeometryChanged, this, &Screens::changed);
    connect(screen, &QScreen::physicalDotsPerInchChanged, this, &Screens::changed);
}

std::vector<ScreenInfo> QtScreens::screens() const {
    std::vector<ScreenInfo> result;
    const QScreen* primary = QGuiApplication::primaryScreen();
    if (primary) result.push_back(info(primary));
    for (const QScreen* screen : QGuiApplication::screens())
        if (screen != primary) result.push_back(info(screen));
    return result;
}

QPointF QtScreens::pointerPosition() const { return QPointF(QCursor::pos()); }

}  // namespace mirano
