// A frame in ordinary memory, for displays where shared memory cannot be used.
#pragma once

#include <vector>

#include "platform/Frame.h"

namespace mirano {

/// Tightly packed BGRA rows copied from a reply.
class HeapFrameBuffer final : public FrameBuffer {
public:
    HeapFrameBuffer(int width, int height, const std::uint8_t* pixels)
        : width_(width),
          height_(height),
          pixels_(pixels, pixels + std::size_t(width) * std::size_t(height) * 4) {}
    int width() const override { return width_; }
    int height() const override { return height_; }
    std::size_t bytesPerRow() const override { return std::size_t(width_) * 4; }
    const std::uint8_t* data() const override { return pixels_.data(); }

private:
    int width_;
    int height_;
    std::vector<std::uint8_t> pixels_;
};

}  // namespace mirano
