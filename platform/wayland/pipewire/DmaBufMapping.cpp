#include "platform/wayland/pipewire/DmaBufMapping.h"

#include <linux/dma-buf.h>
#include <sys/ioctl.h>
#include <sys/mman.h>

#include <cerrno>

namespace mirano::wayland {

namespace {
void sync(int fd, std::uint64_t flags) {
    dma_buf_sync request{flags};
    while (ioctl(fd, DMA_BUF_IOCTL_SYNC, &request) < 0 && (errno == EINTR || errno == EAGAIN)) {
    }
}
}  // namespace

DmaBufMapping::DmaBufMapping(int fd, std::size_t size) : fd_(fd), size_(size) {
    void* address = mmap(nullptr, size_, PROT_READ, MAP_SHARED, fd_, 0);
    if (address == MAP_FAILED) return;
    data_ = static_cast<const std::uint8_t*>(address);
    sync(fd_, DMA_BUF_SYNC_START | DMA_BUF_SYNC_READ);
}

DmaBufMapping::~DmaBufMapping() {
    if (!data_) return;
    sync(fd_, DMA_BUF_SYNC_END | DMA_BUF_SYNC_READ);
    munmap(const_cast<std::uint8_t*>(data_), size_);
}

}  // namespace mirano::wayland
