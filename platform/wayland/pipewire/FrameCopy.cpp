#include "platform/wayland/pipewire/FrameCopy.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <vector>

namespace mirano::wayland {

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

/// One row of `count` pixels of `order` as BGRA.
void copyRow(const std::uint8_t* from, std::uint8_t* to, std::size_t count, PixelOrder order) {
    const bool swap = order == PixelOrder::rgba || order == PixelOrder::rgbx;
    const bool opaque = order == PixelOrder::bgrx || order == PixelOrder::rgbx;
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

/// Adds one source row to the column sums, two pixels to a word: bytes 0 and 2 of each pixel
/// to `even`, 1 and 3 to `odd`, each in a 16-bit lane (8 × 8 × 255 fits). Plain word loops,
/// which the compiler runs several words per instruction.
void addRow(const std::uint8_t* from, std::uint64_t* even, std::uint64_t* odd, std::size_t words) {
    constexpr std::uint64_t lanes = 0x00ff00ff00ff00ffu;
    for (std::size_t i = 0; i < words; ++i) {
        std::uint64_t word;
        std::memcpy(&word, from + i * 8, 8);
        even[i] += word & lanes;
        odd[i] += (word >> 8) & lanes;
    }
}

/// The rounded mean of a block's sums in a lane word, divided by the 2^shift pixels it adds.
std::uint32_t meanOf(std::uint64_t sums, int shift) {
    // The two pixels of each word add up; the spill of each lane into the next is masked off.
    const std::uint32_t folded = std::uint32_t(sums) + std::uint32_t(sums >> 32);
    const std::uint32_t half = ((1u << shift) >> 1) * 0x00010001u;
    return ((folded + half) >> shift) & 0x00ff00ffu;
}

/// The rounded means of the blocks of `Pairs` words each, in the pixels' byte order.
template <std::size_t Pairs>
void meanRow(const std::uint64_t* even, const std::uint64_t* odd, std::uint32_t* means,
             std::size_t count, int shift) {
    for (std::size_t x = 0; x < count; ++x) {
        std::uint64_t blockEven = 0, blockOdd = 0;
        for (std::size_t i = x * Pairs; i < (x + 1) * Pairs; ++i) {
            blockEven += even[i];
            blockOdd += odd[i];
        }
        means[x] = meanOf(blockEven, shift) | meanOf(blockOdd, shift) << 8;
    }
}

}  // namespace

void copyArea(const MappedImage& image, const QRect& area, std::uint8_t* out,
              std::size_t outStride) {
    const std::size_t step = image.rowBytes();
    for (int y = 0; y < area.height(); ++y)
        copyRow(image.data + std::size_t(area.y() + y) * step + std::size_t(area.x()) * 4,
                out + std::size_t(y) * outStride, std::size_t(area.width()), image.order);
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
    const int shift = 2 * std::countr_zero(unsigned(factor));
    const std::size_t width = std::size_t(area.width() / factor);
    const std::size_t pairs = std::size_t(factor / 2);  // words to a block's row
    std::vector<std::uint64_t> sums(width * pairs * 2);
    std::uint64_t* even = sums.data();
    std::uint64_t* odd = even + width * pairs;
    std::vector<std::uint32_t> means(width);
    for (int y = 0; y < area.height() / factor; ++y) {
        std::fill(sums.begin(), sums.end(), 0);
        for (int row = 0; row < factor; ++row)
            addRow(image.data + std::size_t(area.y() + y * factor + row) * step +
                       std::size_t(area.x()) * 4,
                   even, odd, width * pairs);
        if (factor == 2)
            meanRow<1>(even, odd, means.data(), width, shift);
        else if (factor == 4)
            meanRow<2>(even, odd, means.data(), width, shift);
        else
            meanRow<4>(even, odd, means.data(), width, shift);
        // The means keep the bytes' order in memory, whatever the machine's.
        copyRow(reinterpret_cast<const std::uint8_t*>(means.data()),
                out + std::size_t(y) * outStride, width, image.order);
    }
}

}  // namespace mirano::wayland
