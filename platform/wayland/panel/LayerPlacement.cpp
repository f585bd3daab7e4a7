// Corner anchoring for layer surfaces: margins from the nearest corner, or out of sight.
#include "platform/wayland/panel/LayerPlacement.h"

namespace mirano::wayland {

namespace {
constexpr std::uint32_t kTop = 1, kBottom = 2, kLeft = 4, kRight = 8;
}  // namespace

LayerPlacement placeInNearestCorner(const QRect& window, const QRect& screen) {
    // Doubled coordinates compare centres without rounding.
    const bool right = 2 * window.x() + window.width() > 2 * screen.x() + screen.width();
    const bool bottom = 2 * window.y() + window.height() > 2 * screen.y() + screen.height();
    LayerPlacement p;
    p.anchor = (right ? kRight : kLeft) | (bottom ? kBottom : kTop);
    const int screenRight = screen.x() + screen.width(), windowRight = window.x() + window.width();
    const int screenBottom = screen.y() + screen.height();
    const int windowBottom = window.y() + window.height();
    if (right)
        p.margins.setRight(screenRight - windowRight);
    else
        p.margins.setLeft(window.x() - screen.x());
    if (bottom)
        p.margins.setBottom(screenBottom - windowBottom);
    else
        p.margins.setTop(window.y() - screen.y());
    return p;
}

LayerPlacement placeOutOfSight(const QRect& window, const QRect& screen) {
    LayerPlacement p = placeInNearestCorner(window, screen);
    // A negative margin moves the surface past its anchored edge.
    const int w = -(window.width() + 1), h = -(window.height() + 1);
    p.margins = QMargins(p.anchor & kLeft ? w : 0, p.anchor & kTop ? h : 0,
                         p.anchor & kRight ? w : 0, p.anchor & kBottom ? h : 0);
    return p;
}

}  // namespace mirano::wayland
