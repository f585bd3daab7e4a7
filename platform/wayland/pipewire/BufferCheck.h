// What a producer says about a buffer, checked against what the buffer really holds before a
// single byte of it is read.
#pragma once

#include <QRect>
#include <QSize>
#include <cstdint>
#include <optional>

namespace mirano::wayland {

/// Where one picture lies in a buffer as its producer describes it (the data and its chunk).
struct BufferLayout {
    /// Where the buffer's memory starts in its file.
    std::uint64_t mapOffset = 0;
    /// Bytes the producer says the buffer holds from there.
    std::uint64_t maxSize = 0;
    /// Where the picture starts in the buffer, and the bytes it takes.
    std::uint64_t chunkOffset = 0;
    std::uint64_t chunkSize = 0;
    /// Bytes from one row to the next; 0 means rows of width × 4 bytes.
    std::int64_t stride = 0;
    /// The negotiated picture size.
    QSize size;
};

/// The bytes from the chunk's offset that the picture's rows take (the last row unpadded), or
/// none when they do not fit: an empty size, a stride below a row, rows past the chunk's size or
/// past the buffer. No offset is taken modulo anything: what does not fit is refused.
std::optional<std::uint64_t> pictureBytes(const BufferLayout& layout);

/// Whether a crop region at `x`, `y` of `width` × `height`, as a producer gives it, is not empty
/// and lies inside a picture of `size` (checked before it becomes a QRect, which could overflow).
bool cropFits(std::int64_t x, std::int64_t y, std::uint64_t width, std::uint64_t height,
              QSize size);

/// The bytes `fd` really holds: a file's size (memfd), a DMA-BUF's end; none when unknown.
std::optional<std::uint64_t> bytesInFile(int fd, bool dmaBuf);

/// Whether `fd` is sealed against shrinking (F_SEAL_SHRINK): its size, once checked, holds.
bool cannotShrink(int fd);

}  // namespace mirano::wayland
