#include "platform/wayland/HeapFramePool.h"

namespace mirano::wayland {

std::shared_ptr<HeapFramePool> HeapFramePool::create(int width, int height, int maxBuffers) {
    return std::shared_ptr<HeapFramePool>(new HeapFramePool(width, height, maxBuffers));
}

std::shared_ptr<HeapFrameBuffer> HeapFramePool::acquire() {
    std::unique_ptr<HeapFrameBuffer> buffer;
    {
        std::lock_guard lock(mutex_);
        if (!free_.empty()) {
            buffer = std::move(free_.back());
            free_.pop_back();
        } else if (allocated_ >= maxBuffers_) {
            return nullptr;
        } else {
            ++allocated_;
        }
    }
    if (!buffer) buffer = std::make_unique<HeapFrameBuffer>(width_, height_);
    // The frame holds its pool, so the pool outlives every frame it handed out.
    auto pool = shared_from_this();
    return std::shared_ptr<HeapFrameBuffer>(buffer.release(),
                                            [pool](HeapFrameBuffer* b) { pool->giveBack(b); });
}

void HeapFramePool::giveBack(HeapFrameBuffer* buffer) {
    std::lock_guard lock(mutex_);
    free_.emplace_back(buffer);
}

}  // namespace mirano::wayland
