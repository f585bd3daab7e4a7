// Where a picture buffer shows through a viewport: the part of the buffer, the size the
// compositor scales it to, and the rounded corners cut into it.
#pragma once

#include <QRect>
#include <QRectF>
#include <QSize>
#include <QSizeF>
#include <cstddef>
#include <cstdint>

namespace mirano::wayland {

/// A buffer of scale 1 shown through a viewport.
struct ViewportPlacement {
    /// The part of the buffer shown, in buffer pixels.
    QRectF source;
    /// The size it is scaled to, in surface coordinates.
    QSize destination;
    /// The corners' radius in buffer pixels, across and down.
    QSizeF cornerRadius;
    bool operator==(const ViewportPlacement&) const = default;
};

/// How `shown` (buffer pixels) fills a view of `viewSize` Qt points whose window has
/// `surfaceScale` surface units per point (1 unless Qt scales on its own, e.g. QT_SCALE_FACTOR;
/// the output's scale is the compositor's business): the view's aspect is kept, the overflow cut
/// evenly from both sides, as the panel paints a frame. A corner radius of `radius` points
/// becomes buffer pixels. Nothing shows (an empty source) when either is empty.
ViewportPlacement placeViewport(const QRectF& shown, const QSizeF& viewSize, double surfaceScale,
                                double radius);

/// Makes the rounded corners of `source` (a rectangle of the image) transparent, with
/// antialiased edges, in premultiplied BGRA rows of `stride` bytes of an image of `size`.
void cutCorners(std::uint8_t* pixels, std::size_t stride, QSize size, const QRectF& source,
                QSizeF radius);

/// `bytes` of premultiplied pixels from `from` at `opacity` (0...1) into `to` (may be `from`).
void dimPixels(const std::uint8_t* from, std::uint8_t* to, std::size_t bytes, double opacity);

}  // namespace mirano::wayland
