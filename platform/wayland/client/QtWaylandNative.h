// The Wayland objects behind Qt's own connection, windows and screens.
#pragma once

#include <cstdint>

struct wl_compositor;
struct wl_display;
struct wl_output;
struct wl_pointer;
struct wl_seat;
struct wl_surface;
class QObject;
class QScreen;
class QWindow;

namespace mirano::wayland {

/// Qt runs on its Wayland platform plugin.
bool qtOnWayland();
/// Qt's connection; null when Qt does not run on Wayland.
wl_display* qtDisplay();
/// Qt's wl_compositor (for regions).
wl_compositor* qtCompositor();
/// The seat Qt takes its input from; null without one.
wl_seat* qtSeat();
/// The pointer of that seat; null without one.
wl_pointer* qtPointer();
/// The serial of the latest input event Qt's seat got (0 when Qt does not tell).
std::uint32_t qtInputSerial();
/// The output behind a screen; null when unknown.
wl_output* qtOutput(QScreen* screen);
/// The window's current wl_surface: made with the native window, replaced on every show after a
/// hide (Qt destroys it on hide). Null while there is none.
wl_surface* qtSurface(QWindow& window);
/// Qt's platform window as a QObject, for its wlSurfaceCreated() / wlSurfaceDestroyed()
/// signals; null if the window has none or it is no QObject.
QObject* qtPlatformWindowObject(QWindow& window);
/// Calls `receiver`'s slots surfaceCreated() and surfaceDestroyed() directly from Qt's signals,
/// inside Qt's show and before Qt destroys the surface, so that a new surface can be given its
/// role (or its subsurface) before Qt first commits it. False when Qt's window cannot tell.
bool followQtSurfaces(QWindow& window, QObject& receiver);

}  // namespace mirano::wayland
