// X pixels and Qt's logical pixels: the conversions the rest of Mirano never sees.
#pragma once

#include <QPointF>
#include <QRect>
#include <QRectF>

namespace mirano::x11 {

/// A rectangle in root-window pixels in Qt's logical coordinates. Qt keeps each screen's
/// top-left corner where X has it and scales the rest of the screen by its device pixel ratio;
/// a rectangle across screens is scaled as a whole by the screen that then holds its centre,
/// as Qt does with a window's geometry.
QRectF toLogical(const QRect& native);

/// Device pixels per logical pixel of the screen holding the logical point `at`, else of the
/// primary screen (1 without a Qt application). Screens may differ in scale.
double devicePixelRatioAt(const QPointF& at);

}  // namespace mirano::x11
