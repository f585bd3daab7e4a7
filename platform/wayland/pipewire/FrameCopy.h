// Turns one mapped buffer of a window stream into frame pixels: the window's crop, the
// configured source rectangle and the pixel order, in one pass.
#pragma once

#include <QRect>
#include <QRectF>
#include <QSize>
#include <QSizeF>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace mirano::wayland {

/// Byte order of a 32-bit pixel as a producer hands it; the x orders carry no alpha.
enum class PixelOrder { bgra, bgrx, rgba, rgbx };

/// A producer's buffer as mapped into this process, read-only.
struct MappedImage {
    const std::uint8_t* data = nullptr;
    /// Bytes mapped from `data` on.
    std::size_t size = 0;
    int width = 0;
    int height = 0;
    /// Bytes from one row to the next; 0 means rows of width × 4 bytes.
    std::size_t stride = 0;
    PixelOrder order = PixelOrder::bgrx;

    /// The stride with 0 read as packed rows.
    std::size_t rowBytes() const { return stride ? stride : std::size_t(width) * 4; }
};

/// The part of a buffer of `bufferSize` that a frame shows, in buffer pixels: the `crop`
/// region (where the window lies; the whole buffer without one), and inside it `sourceRect`,
/// given in logical pixels of a window of `logicalSize` (an empty rectangle: the whole window;
/// an empty size: one buffer pixel per logical pixel). Empty when nothing of it is left.
QRect frameArea(QSize bufferSize, std::optional<QRect> crop, const QRectF& sourceRect,
                const QSizeF& logicalSize);

/// Copies `area` (inside the image) into `out` as BGRA rows of `outStride` bytes, opaque when
/// the image has no alpha.
void copyArea(const MappedImage& image, const QRect& area, std::uint8_t* out,
              std::size_t outStride);

/// How many times smaller a picture of `copied` pixels may be copied for the compositor to
/// show at `shown` pixels: the largest power of two up to 8 that leaves at least `shown` in
/// both directions, 1 when `copied` is less than twice `shown`.
int reductionFactor(QSize copied, QSize shown);

/// Copies `area` like copyArea, `factor` times smaller (a power of two up to 8): each pixel is
/// the rounded mean of a block of factor × factor. Rows and columns past the last whole block
/// are left out, so `out` holds area.width() / factor × area.height() / factor pixels.
void copyAreaReduced(const MappedImage& image, const QRect& area, int factor, std::uint8_t* out,
                     std::size_t outStride);

}  // namespace mirano::wayland
