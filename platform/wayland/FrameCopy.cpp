#include "platform/wayland/FrameCopy.h"

#include <bit>
#include <cmath>
#include <cstring>
#include <vector>

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

/// Byte sums of the blocks of one row of reduced pixels, two source pixels to a word: bytes 0
/// and 2 of each pixel in `even`, 1 and 3 in `odd`, each in a 16-bit lane (8 × 8 × 255 fits).
struct BlockSums {
    std::uint64_t even = 0;
    std::uint64_t odd = 0;
};

/// Adds one source row to `sums`: `Factor` pixels to each block, whole words at a time.
template <int Factor>
void addRow(const std::uint8_t* from, std::vector<BlockSums>& sums) {
    constexpr std::uint64_t lanes = 0x00ff00ff00ff00ffu;
    for (BlockSums& block : sums) {
        for (int pair = 0; pair < Factor / 2; ++pair, from += 8) {
            std::uint64_t word;
            std::memcpy(&word, from, 8);
            block.even += word & lanes;
            block.odd += (word >> 8) & lanes;
        }
    }
}

/// The rounded mean of a block's sums in a lane word, divided by the 2^shift pixels it adds.
std::uint32_t meanOf(std::uint64_t sums, int shift) {
    // The two pixels of each word add up; the spill of each lane into the next is masked off.
    const std::uint32_t folded = std::uint32_t(sums) + std::uint32_t(sums >> 32);
    const std::uint32_t half = ((1u << shift) >> 1) * 0x00010001u;
    return ((folded + half) >> shift) & 0x00ff00ffu;
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

int reductionFactor(QSize copied, QSize shown) {
    int factor = 1;
    while (factor < 8 && copied.width() / (factor * 2) >= shown.width() &&
           copied.height() / (factor * 2) >= shown.height())
        factor *= 2;
    return factor;
}

void copyAreaReduced(const MappedImage& image, const QRect& area, int factor, std::uint8_t* out,
                     std::size_t outStride) {
    if (factor != 2 && factor != 4 && factor != 8) return copyArea(image, area, out, outStride);
    const std::size_t step = image.rowBytes();
    const bool swap = image.order == PixelOrder::rgba || image.order == PixelOrder::rgbx;
    const bool opaque = image.order == PixelOrder::bgrx || image.order == PixelOrder::rgbx;
    const int shift = 2 * std::countr_zero(unsigned(factor));
    std::vector<BlockSums> sums(std::size_t(area.width() / factor));
    for (int y = 0; y < area.height() / factor; ++y) {
        std::fill(sums.begin(), sums.end(), BlockSums{});
        for (int row = 0; row < factor; ++row) {
            const std::uint8_t* from = image.data +
                                       std::size_t(area.y() + y * factor + row) * step +
                                       std::size_t(area.x()) * 4;
            if (factor == 2)
                addRow<2>(from, sums);
            else if (factor == 4)
                addRow<4>(from, sums);
            else
                addRow<8>(from, sums);
        }
        // The sums keep the bytes' order in memory, whatever the machine's.
        std::uint8_t* to = out + std::size_t(y) * outStride;
        for (const BlockSums& block : sums) {
            const std::uint32_t mean = meanOf(block.even, shift) | meanOf(block.odd, shift) << 8;
            std::uint8_t pixel[4];
            std::memcpy(pixel, &mean, 4);
            to[0] = pixel[swap ? 2 : 0];
            to[1] = pixel[1];
            to[2] = pixel[swap ? 0 : 2];
            to[3] = opaque ? 0xff : pixel[3];
            to += 4;
        }
    }
}

}  // namespace mirano::wayland
