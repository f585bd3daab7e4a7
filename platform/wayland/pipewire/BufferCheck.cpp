#include "platform/wayland/pipewire/BufferCheck.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace mirano::wayland {

std::optional<std::uint64_t> pictureBytes(const BufferLayout& layout) {
    if (layout.size.width() <= 0 || layout.size.height() <= 0 || layout.stride < 0)
        return std::nullopt;
    const std::uint64_t row = std::uint64_t(layout.size.width()) * 4;
    const std::uint64_t step = layout.stride ? std::uint64_t(layout.stride) : row;
    if (step < row) return std::nullopt;
    // 64 bits hold every product of 32-bit sizes here.
    const std::uint64_t bytes = step * std::uint64_t(layout.size.height() - 1) + row;
    if (bytes > layout.chunkSize || layout.chunkOffset > layout.maxSize ||
        bytes > layout.maxSize - layout.chunkOffset)
        return std::nullopt;
    return bytes;
}

bool cropFits(std::int64_t x, std::int64_t y, std::uint64_t width, std::uint64_t height,
              QSize size) {
    return x >= 0 && y >= 0 && width > 0 && height > 0 && width <= std::uint64_t(size.width()) &&
           height <= std::uint64_t(size.height()) && x <= size.width() - std::int64_t(width) &&
           y <= size.height() - std::int64_t(height);
}

std::optional<std::uint64_t> bytesInFile(int fd, bool dmaBuf) {
    if (fd < 0) return std::nullopt;
    if (dmaBuf) {
        // A DMA-BUF tells its size through its end; reading the end moves no shared state that
        // matters (every mapping names its own offset).
        const off_t end = lseek(fd, 0, SEEK_END);
        if (end < 0) return std::nullopt;
        return std::uint64_t(end);
    }
    struct stat status {};
    if (fstat(fd, &status) < 0 || !S_ISREG(status.st_mode)) return std::nullopt;
    return std::uint64_t(status.st_size);
}

bool cannotShrink(int fd) {
    const int seals = fcntl(fd, F_GET_SEALS);
    return seals >= 0 && (seals & F_SEAL_SHRINK);
}

}  // namespace mirano::wayland
