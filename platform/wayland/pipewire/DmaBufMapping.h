// A linear DMA-BUF mapped for reading by the CPU, for as long as one frame is copied.
#pragma once

#include <cstddef>
#include <cstdint>

namespace mirano::wayland {

/// Maps `size` bytes of the buffer read-only and brackets the reads with the kernel's
/// DMA_BUF_IOCTL_SYNC, so the GPU's writes are visible. Only linear buffers read as rows of
/// pixels; tiled layouts would need a GPU to untangle them.
class DmaBufMapping {
public:
    DmaBufMapping(int fd, std::size_t size);
    ~DmaBufMapping();
    DmaBufMapping(const DmaBufMapping&) = delete;
    DmaBufMapping& operator=(const DmaBufMapping&) = delete;

    /// Null when the buffer cannot be mapped (some drivers do not allow it).
    const std::uint8_t* data() const { return data_; }

private:
    int fd_;
    std::size_t size_;
    const std::uint8_t* data_ = nullptr;
};

}  // namespace mirano::wayland
