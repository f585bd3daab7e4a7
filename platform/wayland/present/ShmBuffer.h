// A picture buffer the compositor reads: memory of Mirano's own, shared through wl_shm.
#pragma once

#include <wayland-client.h>

#include <QSize>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "platform/UniqueFd.h"
#include "platform/wayland/client/WlPtr.h"

namespace mirano::wayland {

/// Premultiplied ARGB8888 (bytes B, G, R, A) in a sealed memfd mapped here, as a wl_buffer. Busy
/// from markAttached() until the compositor releases it: the pixels must not change meanwhile.
/// Not thread-safe: its owner serialises every use with the dispatch of the wl_shm's queue, on
/// which its release comes.
class ShmBuffer {
public:
    /// Null when memory or the buffer cannot be had.
    static std::unique_ptr<ShmBuffer> create(wl_shm* shm, QSize size);
    ~ShmBuffer();
    ShmBuffer(const ShmBuffer&) = delete;
    ShmBuffer& operator=(const ShmBuffer&) = delete;

    QSize size() const { return size_; }
    std::size_t stride() const { return std::size_t(size_.width()) * 4; }
    std::uint8_t* pixels() const { return pixels_; }
    wl_buffer* buffer() const { return buffer_.get(); }
    bool isBusy() const { return busy_; }
    /// Attached to a surface: busy until released.
    void markAttached() { busy_ = true; }

private:
    ShmBuffer(QSize size, UniqueFd fd, std::uint8_t* pixels);
    static void onRelease(void* data, wl_buffer* buffer);

    QSize size_;
    UniqueFd fd_;
    std::uint8_t* pixels_;
    WlPtr<wl_buffer> buffer_;
    bool busy_ = false;
};

}  // namespace mirano::wayland
