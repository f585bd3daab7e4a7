#include "platform/wayland/FrameCopy.h"

#include <bit>
#include <cmath>
#include <cstring>

namespace mirano::wayland {

bool MappedImage::holdsItsRows() const {
    if (!data || width <= 0 || height <= 0) return false;
    const std::size_t row = std::size_t(width) * 4;
    const std::size_t step = rowBytes();
    if (step < row || size < row) return false;
    // The last row need not be padded.
    return (size - row) / step >= std::size_t(height - 1);
}

QRect frameArea(QSize bufferSize, std::optional<QRect> crop, const QRectF& sourceRect,
                const QSizeF& logicalSize) {
    const QRect buffer(QPoint(0, 0), bufferSize);
    const QRect window = crop && !crop->isEmpty() ? crop->intersected(buffer) : buffer;
    if (window.isEmpty() || sourceRect.isEmpty()) return window;
    // Buffer pixels per logical pixel: 2 on a screen scaled by 2.
    const double sx = logicalSize.width() > 0 ? window.width() / logicalSize.width() : 1.0;
    const double sy = logicalSize.height() > 0 ? window.height() / logicalSize.height() : 1.0;
    // Whole pixels that the rectangle touches.
    const int left = int(std::floor(sourceRect.left() * sx));
    const int top = int(std::floor(sourceRect.top() * sy));
    const int right = int(std::ceil(sourceRect.right() * sx));
    const int bottom = int(std::ceil(sourceRect.bottom() * sy));
    const QRect wanted(window.x() + left, window.y() + top, right - left, bottom - top);
    return wanted.intersected(window);
}

namespace {

/// One row of `count` pixels, as 32-bit words (byte order B, G, R, A on a little-endian
/// machine): whole words let the compiler copy many pixels per instruction.
template <bool Swap, bool Opaque>
void convertRow(const std::uint8_t* from, std::uint8_t* to, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        std::uint32_t v;
        std::memcpy(&v, from + i * 4, 4);
        if constexpr (Swap) v = (v & 0xff00ff00u) | ((v & 0xffu) << 16) | ((v >> 16) & 0xffu);
        if constexpr (Opaque) v |= 0xff000000u;
        std::memcpy(to + i * 4, &v, 4);
    }
}

/// The same, a byte at a time, for big-endian machines.
void convertRowBytes(const std::uint8_t* from, std::uint8_t* to, std::size_t count, bool swap,
                     bool opaque) {
    for (std::size_t i = 0; i < count * 4; i += 4) {
        to[i] = from[i + (swap ? 2 : 0)];
        to[i + 1] = from[i + 1];
        to[i + 2] = from[i + (swap ? 0 : 2)];
        to[i + 3] = opaque ? 0xff : from[i + 3];
    }
}

}  // namespace

void copyArea(const MappedImage& image, const QRect& area, std::uint8_t* out,
              std::size_t outStride) {
    const std::size_t step = image.rowBytes();
    const std::size_t count = std::size_t(area.width());
    const bool swap = image.order == PixelOrder::rgba || image.order == PixelOrder::rgbx;
    const bool opaque = image.order == PixelOrder::bgrx || image.order == PixelOrder::rgbx;
    for (int y = 0; y < area.height(); ++y) {
        const std::uint8_t* from =
            image.data + std::size_t(area.y() + y) * step + std::size_t(area.x()) * 4;
        std::uint8_t* to = out + std::size_t(y) * outStride;
        if (!swap && !opaque)
            std::memcpy(to, from, count * 4);
        else if constexpr (std::endian::native != std::endian::little)
            convertRowBytes(from, to, count, swap, opaque);
        else if (!swap)
            convertRow<false, true>(from, to, count);
        else if (opaque)
            convertRow<true, true>(from, to, count);
        else
            convertRow<true, false>(from, to, count);
    }
}

}  // namespace mirano::wayland
