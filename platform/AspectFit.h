// Showing a picture in an area of another shape: scaled alike across and down, centred. Plain
// arithmetic shared by every path that draws a captured picture, so that they all agree.
#pragma once

#include <QRectF>
#include <QSizeF>
#include <algorithm>

namespace mirano {

/// How a picture meets an area of another aspect.
enum class AspectMode {
    fit,   ///< all of the picture shows, with bars beside it
    fill,  ///< the picture covers the whole area, its overflow cut evenly from both sides
};

/// The part of a picture that shows in an area, and where it goes there.
struct AspectPlacement {
    QRectF source;  ///< in the picture's coordinates
    QRectF target;  ///< in the area's coordinates (origin at its top-left corner)
    bool operator==(const AspectPlacement&) const = default;
};

/// Places `picture` (a rectangle of a picture) in an area of `area` size. Nothing shows when
/// either is empty.
inline AspectPlacement placeAspect(const QRectF& picture, const QSizeF& area, AspectMode mode) {
    if (picture.isEmpty() || area.isEmpty()) return {};
    const double across = area.width() / picture.width();
    const double down = area.height() / picture.height();
    const double scale = mode == AspectMode::fit ? std::min(across, down) : std::max(across, down);
    const QSizeF shown(std::min(picture.width(), area.width() / scale),
                       std::min(picture.height(), area.height() / scale));
    const QSizeF drawn(std::min(picture.width() * scale, area.width()),
                       std::min(picture.height() * scale, area.height()));
    return {
        QRectF(picture.center() - QPointF(shown.width(), shown.height()) / 2, shown),
        QRectF(QPointF(area.width() - drawn.width(), area.height() - drawn.height()) / 2, drawn)};
}

/// What a view of `view` size shows of `source` when the capture fits `source` into frames of
/// `frame` size and the view fills itself with each frame: bars of the frame show, and a frame
/// of another aspect than the view's is cut.
inline AspectPlacement placeThroughFrame(const QRectF& source, const QSizeF& frame,
                                         const QSizeF& view) {
    const AspectPlacement inFrame = placeAspect(source, frame, AspectMode::fit);
    const AspectPlacement ofFrame = placeAspect(QRectF(QPointF(), frame), view, AspectMode::fill);
    if (inFrame.target.isEmpty() || ofFrame.source.isEmpty()) return {};
    // Frame pixels to view pixels, and view pixels back to source pixels.
    const double toView = view.width() / ofFrame.source.width();
    const QRectF inView((inFrame.target.topLeft() - ofFrame.source.topLeft()) * toView,
                        inFrame.target.size() * toView);
    const QRectF target = inView & QRectF(QPointF(), view);
    const double sx = source.width() / inView.width(), sy = source.height() / inView.height();
    return {QRectF(source.x() + (target.x() - inView.x()) * sx,
                   source.y() + (target.y() - inView.y()) * sy, target.width() * sx,
                   target.height() * sy),
            target};
}

}  // namespace mirano
