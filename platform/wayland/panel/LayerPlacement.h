// Where a layer surface goes: the output corner it is anchored to and its margins.
#pragma once

#include <QMargins>
#include <QRect>
#include <cstdint>

namespace mirano::wayland {

/// Anchor edges (the layer-shell bits: top 1, bottom 2, left 4, right 8) and the margins from
/// them; margins of edges not anchored are 0.
struct LayerPlacement {
    std::uint32_t anchor = 0;
    QMargins margins;
    bool operator==(const LayerPlacement&) const = default;
};

/// Anchors a window to the corner of `screen` nearest its centre, with its distances from that
/// corner's two edges as margins, so that it stays where Qt placed it and keeps its distance
/// from that corner when the output changes size. Both rectangles in Qt's logical coordinates.
LayerPlacement placeInNearestCorner(const QRect& window, const QRect& screen);

/// The same corner with margins that put the window just outside the output: nothing of it is
/// shown while it stays mapped.
LayerPlacement placeOutOfSight(const QRect& window, const QRect& screen);

}  // namespace mirano::wayland
