// The PiP's arithmetic: where a panel goes, how big it is, and which part of the window it
// shows after a zoom. Plain functions on rectangles and sizes, in Qt's logical coordinates.
#pragma once

#include <QPointF>
#include <QRectF>
#include <QSize>
#include <QSizeF>
#include <optional>
#include <vector>

#include "platform/Screens.h"
#include "settings/PiPPosition.h"

namespace mirano::PiPGeometry {

/// Distance of a new panel from the edges of the visible area.
inline constexpr double kScreenMargin = 16;
/// Width of a new panel when no usable width is stored.
inline constexpr double kDefaultPanelWidth = 320;
/// A stored panel width must exceed this to be used; a resize never stores less.
inline constexpr int kPipWidthFloor = 100;

/// The size of a new panel for a source of `sourceSize`: `storedWidth` when it exceeds the
/// floor (else the default width), the source's aspect kept, shrunk as needed so that the
/// panel and its margins fit inside `visibleArea`.
QSizeF panelSize(int storedWidth, const QSizeF& sourceSize, const QRectF& visibleArea);

/// The panel of `size` in the `position` corner of `visibleArea`, `kScreenMargin` inside it.
QRectF placePanel(const QSizeF& size, const QRectF& visibleArea, PiPPosition position);

/// A normalised rectangle (fractions of `size`, top-left origin) in the units of `size`.
QRectF denormalize(const QRectF& normalized, const QSizeF& size);

/// The part of the window shown after narrowing `current` to a normalised `selection` of it.
QRectF narrowTo(const QRectF& current, const QRectF& selection);

/// The part of a `window`-sized window shown after zooming `current` by `factor` (below 1
/// zooms in) around `anchor`, given as fractions (0...1) of the shown part, top-left origin.
/// The result keeps a minimum size and stays inside the window.
QRectF zoomAround(const QRectF& current, const QSizeF& window, const QPointF& anchor,
                  double factor);

/// Whether `rect` shows the whole `window`, within half a pixel.
bool isWholeWindow(const QRectF& rect, const QSizeF& window);

/// The panel height that gives a panel `width` wide the aspect of `sourceRect`; nothing when
/// that aspect (height / width) is outside 0.2 ... 5, so the panel keeps its shape.
std::optional<double> reshapedHeight(const QRectF& sourceRect, double width);

/// `frame` shrunk (keeping its aspect and top-left corner where it can) and moved as little as
/// possible so that it lies inside `visibleArea`; unchanged without a visible area.
QRectF keepInside(const QRectF& frame, const QRectF& visibleArea);

/// A frame of `size` in the middle of `visibleArea`, shrunk (keeping its aspect) as needed to
/// stay `kScreenMargin` inside it.
QRectF centreInside(const QSizeF& size, const QRectF& visibleArea);

/// The screen holding the centre of `area`, else the one with most of it; nothing when no
/// screen has any of it.
std::optional<ScreenInfo> screenHolding(const std::vector<ScreenInfo>& screens, const QRectF& area);

/// The capture output size for a panel of `size` on a screen of `devicePixelRatio`, in pixels.
QSize outputPixelSize(const QSizeF& size, double devicePixelRatio);

}  // namespace mirano::PiPGeometry
