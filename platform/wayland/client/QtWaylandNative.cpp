// Reaches Qt's Wayland objects through the platform native interface (a private Qt API: the
// public QWaylandApplication interface arrived only in Qt 6.5).
#include "platform/wayland/client/QtWaylandNative.h"

#include <qpa/qplatformnativeinterface.h>
#include <qpa/qplatformwindow.h>

#include <QGuiApplication>
#include <QWindow>

namespace mirano::wayland {

namespace {
QPlatformNativeInterface* native() {
    return qtOnWayland() ? QGuiApplication::platformNativeInterface() : nullptr;
}

template <typename T>
T* integrationResource(const char* name) {
    auto* n = native();
    return n ? static_cast<T*>(n->nativeResourceForIntegration(name)) : nullptr;
}
}  // namespace

bool qtOnWayland() {
    return qGuiApp && QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

wl_display* qtDisplay() { return integrationResource<wl_display>("wl_display"); }

wl_compositor* qtCompositor() { return integrationResource<wl_compositor>("compositor"); }

wl_seat* qtSeat() { return integrationResource<wl_seat>("wl_seat"); }

wl_pointer* qtPointer() { return integrationResource<wl_pointer>("wl_pointer"); }

std::uint32_t qtInputSerial() {
    // Qt reads the serial from its default input device, which exists only with a seat.
    if (!qtSeat()) return 0;
    return static_cast<std::uint32_t>(
        reinterpret_cast<quintptr>(integrationResource<void>("serial")));
}

wl_output* qtOutput(QScreen* screen) {
    auto* n = native();
    return n && screen ? static_cast<wl_output*>(n->nativeResourceForScreen("output", screen))
                       : nullptr;
}

wl_surface* qtSurface(QWindow& window) {
    auto* n = native();
    return n && window.handle()
               ? static_cast<wl_surface*>(n->nativeResourceForWindow("surface", &window))
               : nullptr;
}

QObject* qtPlatformWindowObject(QWindow& window) {
    return qtOnWayland() ? dynamic_cast<QObject*>(window.handle()) : nullptr;
}

bool followQtSurfaces(QWindow& window, QObject& receiver) {
    QObject* platformWindow = qtPlatformWindowObject(window);
    return platformWindow &&
           QObject::connect(platformWindow, SIGNAL(wlSurfaceCreated()), &receiver,
                            SLOT(surfaceCreated()), Qt::DirectConnection) &&
           QObject::connect(platformWindow, SIGNAL(wlSurfaceDestroyed()), &receiver,
                            SLOT(surfaceDestroyed()), Qt::DirectConnection);
}

}  // namespace mirano::wayland
