// The dark, rounded backdrop the overlays draw under their content.
#pragma once

#include <QRect>

class QPainter;

namespace mirano {

/// Fills `rect` with black at `opacity`, its corners rounded by `radius` like the panel's.
void paintOverlayBackdrop(QPainter& painter, const QRect& rect, double radius, double opacity);

}  // namespace mirano
