// Frame buffers in ordinary memory, reused once the last reference to a frame goes.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/BufferRecycler.h"
#include "platform/Frame.h"

namespace mirano::wayland {

/// Packed BGRA rows of one size.
class HeapFrameBuffer final : public FrameBuffer {
public:
    HeapFrameBuffer(int width, int height)
        : width_(width), height_(height), pixels_(std::size_t(width) * std::size_t(height) * 4) {}
    int width() const override { return width_; }
    int height() const override { return height_; }
    std::size_t bytesPerRow() const override { return std::size_t(width_) * 4; }
    const std::uint8_t* data() const override { return pixels_.data(); }
    /// Writable pixels, for the capture thread while the buffer is not handed out.
    std::uint8_t* mutableData() { return pixels_.data(); }

private:
    int width_;
    int height_;
    std::vector<std::uint8_t> pixels_;
};

/// Buffers of one size, at most `maxBuffers` at once. acquire() is for the capture thread;
/// frames may be released on any thread. Frames may outlive the pool: its buffers go with the
/// last of them.
class HeapFramePool {
public:
    static std::shared_ptr<HeapFramePool> create(int width, int height, int maxBuffers) {
        return std::make_shared<HeapFramePool>(width, height, maxBuffers);
    }
    HeapFramePool(int width, int height, int maxBuffers)
        : width_(width),
          height_(height),
          buffers_(BufferRecycler<HeapFrameBuffer>::create(maxBuffers)) {}

    /// A free buffer (reused or new), or null when all are in use: the frame is then dropped
    /// rather than memory grown behind a slow reader.
    std::shared_ptr<HeapFrameBuffer> acquire() {
        return buffers_->acquire(
            [this] { return std::make_unique<HeapFrameBuffer>(width_, height_); });
    }
    int width() const { return width_; }
    int height() const { return height_; }

private:
    const int width_;
    const int height_;
    std::shared_ptr<BufferRecycler<HeapFrameBuffer>> buffers_;
};

}  // namespace mirano::wayland
