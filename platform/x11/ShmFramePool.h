// Frame buffers in MIT-SHM memory, shared with the X server and recycled when the last
// reference to a frame goes.
#pragma once

#include <xcb/shm.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>

#include "platform/BufferRecycler.h"
#include "platform/Frame.h"
#include "platform/Types.h"

namespace mirano::x11 {

class XConnection;

/// One System V shared-memory segment attached by us and by the X server. It is created with
/// mode 0600 and marked for removal as soon as both sides are attached, so it disappears with
/// the last of them even after a crash.
class ShmSegment {
public:
    /// A new segment of `size` bytes; null with `error` set when it cannot be made.
    static std::unique_ptr<ShmSegment> create(std::shared_ptr<XConnection> connection,
                                              std::size_t size, QString* error);
    ~ShmSegment();
    ShmSegment(const ShmSegment&) = delete;
    ShmSegment& operator=(const ShmSegment&) = delete;

    xcb_shm_seg_t id() const { return seg_; }
    std::uint8_t* data() const { return data_; }
    std::size_t size() const { return size_; }

private:
    ShmSegment() = default;
    std::shared_ptr<XConnection> connection_;
    xcb_shm_seg_t seg_ = 0;
    std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
};

/// A frame whose pixels live in a pooled shared-memory segment.
class ShmFrameBuffer final : public FrameBuffer {
public:
    ShmFrameBuffer(std::unique_ptr<ShmSegment> segment, int width, int height);
    int width() const override { return width_; }
    int height() const override { return height_; }
    std::size_t bytesPerRow() const override { return std::size_t(width_) * 4; }
    const std::uint8_t* data() const override { return segment_->data(); }
    /// Writable pixels, for the capture thread while the buffer is not handed out.
    std::uint8_t* mutableData() { return segment_->data(); }
    xcb_shm_seg_t segment() const { return segment_->id(); }

private:
    std::unique_ptr<ShmSegment> segment_;
    int width_;
    int height_;
};

/// Buffers of one size. acquire() is for the capture thread; frames may be released on any
/// thread. Frames may outlive the pool: its buffers go with the last of them.
class ShmFramePool {
public:
    static std::shared_ptr<ShmFramePool> create(std::shared_ptr<XConnection> connection, int width,
                                                int height, int maxBuffers);
    ShmFramePool(std::shared_ptr<XConnection> connection, int width, int height, int maxBuffers);
    ~ShmFramePool();

    /// A free buffer (reused or new), or null when all `maxBuffers` are in use or memory could
    /// not be shared (see lastError()). The buffer goes back to the pool when its last
    /// reference is dropped.
    std::shared_ptr<ShmFrameBuffer> acquire();
    int width() const { return width_; }
    int height() const { return height_; }
    /// Buffers made so far.
    int allocated() const { return buffers_->made(); }
    QString lastError() const;

private:
    std::shared_ptr<XConnection> connection_;
    const int width_;
    const int height_;
    std::shared_ptr<BufferRecycler<ShmFrameBuffer>> buffers_;
    mutable std::mutex mutex_;
    QString lastError_;
};

}  // namespace mirano::x11
