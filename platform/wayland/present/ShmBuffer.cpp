#include "platform/wayland/present/ShmBuffer.h"

#include <fcntl.h>
#include <sys/mman.h>

namespace mirano::wayland {

std::unique_ptr<ShmBuffer> ShmBuffer::create(wl_shm* shm, QSize size) {
    if (!shm || size.isEmpty()) return nullptr;
    const std::size_t bytes = std::size_t(size.width()) * 4 * std::size_t(size.height());
    UniqueFd fd(memfd_create("mirano-picture", MFD_CLOEXEC | MFD_ALLOW_SEALING));
    if (!fd.valid() || ftruncate(fd.get(), off_t(bytes)) != 0) return nullptr;
    // Sealed at its size: the compositor's mapping can never lose pages under it.
    fcntl(fd.get(), F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_SEAL);
    void* memory = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd.get(), 0);
    if (memory == MAP_FAILED) return nullptr;
    std::unique_ptr<ShmBuffer> buffer(
        new ShmBuffer(size, std::move(fd), static_cast<std::uint8_t*>(memory)));
    // The pool only makes the buffer; the compositor keeps its memory for as long as the buffer.
    WlPtr<wl_shm_pool> pool(wl_shm_create_pool(shm, buffer->fd_.get(), std::int32_t(bytes)));
    buffer->buffer_.reset(wl_shm_pool_create_buffer(pool.get(), 0, size.width(), size.height(),
                                                    std::int32_t(buffer->stride()),
                                                    WL_SHM_FORMAT_ARGB8888));
    static const wl_buffer_listener listener = {&ShmBuffer::onRelease};
    wl_buffer_add_listener(buffer->buffer_.get(), &listener, buffer.get());
    return buffer;
}

ShmBuffer::ShmBuffer(QSize size, UniqueFd fd, std::uint8_t* pixels)
    : size_(size), fd_(std::move(fd)), pixels_(pixels) {}

ShmBuffer::~ShmBuffer() {
    // Destroying a buffer the compositor still shows is allowed as long as its pixels stay as
    // they are, which they do: the memory is ours alone, and nobody writes to it again.
    buffer_.reset();
    munmap(pixels_, stride() * std::size_t(size_.height()));
}

void ShmBuffer::onRelease(void* data, wl_buffer*) { static_cast<ShmBuffer*>(data)->busy_ = false; }

}  // namespace mirano::wayland
