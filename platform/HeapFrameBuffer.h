// A frame in ordinary memory: where shared memory cannot be used, and for copies of streams.
#pragma once

#include <vector>

#include "platform/Frame.h"

namespace mirano {

/// Tightly packed BGRA rows.
class HeapFrameBuffer final : public FrameBuffer {
public:
    /// Rows to be written through mutableData().
    HeapFrameBuffer(int width, int height)
        : width_(width), height_(height), pixels_(std::size_t(width) * std::size_t(height) * 4) {}
    /// Rows copied from `pixels`.
    HeapFrameBuffer(int width, int height, const std::uint8_t* pixels)
        : width_(width),
          height_(height),
          pixels_(pixels, pixels + std::size_t(width) * std::size_t(height) * 4) {}
    int width() const override { return width_; }
    int height() const override { return height_; }
    std::size_t bytesPerRow() const override { return std::size_t(width_) * 4; }
    const std::uint8_t* data() const override { return pixels_.data(); }
    /// Writable pixels, for the producer while the buffer is not handed out.
    std::uint8_t* mutableData() { return pixels_.data(); }

private:
    int width_;
    int height_;
    std::vector<std::uint8_t> pixels_;
};

}  // namespace mirano
