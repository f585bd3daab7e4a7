// Conversions between Qt's global coordinates (top-left origin, y down) and screen points
// with the origin at the bottom-left of the primary screen, y up.
#pragma once

#include <QRect>
#include <QRectF>
#include <QPointF>

namespace mirano {

/// Height of the primary screen in points (0 when there is no screen).
double primaryScreenHeight();
/// A Qt global rectangle as a bottom-left-origin screen rectangle.
QRectF toScreenPoints(const QRectF& qtGlobal);
/// A bottom-left-origin screen rectangle as a Qt global rectangle.
QRectF fromScreenPoints(const QRectF& screenRect);
QPointF toScreenPoints(const QPointF& qtGlobal);
QPointF fromScreenPoints(const QPointF& screenPoint);

}  // namespace mirano
