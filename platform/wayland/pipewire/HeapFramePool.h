// Frame buffers in ordinary memory, reused once the last reference to a frame goes.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/BufferRecycler.h"
#include "platform/HeapFrameBuffer.h"

namespace mirano::wayland {

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
