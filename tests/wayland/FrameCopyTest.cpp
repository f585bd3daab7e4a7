// Where a frame's pixels come from in a producer's buffer, and how they are copied.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <climits>
#include <cstring>
#include <vector>

#include "platform/wayland/pipewire/BufferCheck.h"
#include "platform/wayland/pipewire/BusErrorGuard.h"
#include "platform/wayland/pipewire/FrameCopy.h"

using namespace mirano::wayland;

TEST(FrameCopy, FrameAreaIsTheWindowAndTheSourceRectangleInBufferPixels) {
    const QSize buffer(400, 300);
    // What: the crop, the source rectangle, the window's logical size; the area copied.
    // clang-format off
    const std::tuple<const char*, std::optional<QRect>, QRectF, QSizeF, QRect> cases[] = {
        {"no crop and no source rectangle is the whole buffer", {}, {}, {}, {0, 0, 400, 300}},
        {"an empty crop is no crop", QRect(), {}, {}, {0, 0, 400, 300}},
        {"the crop is the window", QRect(50, 40, 200, 100), {}, {}, {50, 40, 200, 100}},
        {"a crop past the buffer is cut to it", QRect(300, 250, 200, 100), {}, {},
         {300, 250, 100, 50}},
        {"a source rectangle at scale 2 is doubled inside the crop", QRect(50, 40, 200, 100),
         {10, 5, 30, 20}, {100, 50}, {70, 50, 60, 40}},
        {"fractional logical pixels take every buffer pixel they touch", QRect(0, 0, 300, 300),
         {0.5, 0.5, 1, 1}, {200, 200}, {0, 0, 3, 3}},
        {"without a logical size one buffer pixel is one logical pixel", QRect(50, 40, 200, 100),
         {10, 5, 30, 20}, {}, {60, 45, 30, 20}},
        {"a source rectangle past the window is cut to the window", QRect(50, 40, 200, 100),
         {150, 80, 100, 100}, {200, 100}, {200, 120, 50, 20}},
        {"a source rectangle outside the window leaves nothing", QRect(50, 40, 200, 100),
         {300, 0, 10, 10}, {200, 100}, {}},
    };
    // clang-format on
    for (const auto& [what, crop, sourceRect, logicalSize, area] : cases)
        EXPECT_EQ(frameArea(buffer, crop, sourceRect, logicalSize), area) << what;
}

TEST(FrameCopy, AProducersLayoutIsRefusedUnlessThePictureFitsWithoutWrappingAround) {
    // 10 × 3 pixels: rows of 40 bytes, 120 bytes packed; nothing past the buffer may be read.
    // What: the layout; the bytes read.
    const QSize size(10, 3);
    // clang-format off
    const std::tuple<const char*, BufferLayout, std::optional<std::uint64_t>> cases[] = {
        {"packed rows", {0, 120, 0, 120, 40, size}, 120},
        {"a stride of 0 is packed rows", {0, 120, 0, 120, 0, size}, 120},
        {"padded rows, the last one unpadded", {0, 200, 8, 136, 48, size}, 136},
        {"a stride shorter than a row", {0, 200, 0, 200, 36, size}, {}},
        {"a negative stride", {0, 200, 0, 200, -40, size}, {}},
        {"an offset that leaves too little", {0, 120, 4, 120, 40, size}, {}},
        {"an offset past the buffer, which a modulo would wrap", {0, 120, 124, 120, 40, size}, {}},
        {"a chunk smaller than its rows", {0, 120, 0, 119, 40, size}, {}},
        {"a stride whose rows pass any buffer", {0, UINT_MAX, 0, UINT_MAX, INT_MAX, size}, {}},
        {"an empty picture", {0, 120, 0, 120, 40, QSize(0, 3)}, {}},
    };
    // clang-format on
    for (const auto& [what, layout, bytes] : cases) EXPECT_EQ(pictureBytes(layout), bytes) << what;

    // What: x, y, width, height; whether it lies inside.
    const std::tuple<const char*, std::int64_t, std::int64_t, std::uint64_t, std::uint64_t, bool>
        crops[] = {
            {"the whole picture", 0, 0, 10, 3, true},
            {"one pixel past the right edge", 1, 0, 10, 3, false},
            {"left of the picture", -1, 0, 5, 3, false},
            {"empty", 2, 1, 0, 1, false},
            {"a width that would overflow", 5, 0, UINT_MAX, 3, false},
        };
    for (const auto& [what, x, y, width, height, fits] : crops)
        EXPECT_EQ(cropFits(x, y, width, height, size), fits) << what;
}

TEST(FrameCopy, AFileThatShrinksUnderAGuardedReadReadsZerosAndTheReadFails) {
    const auto page = std::size_t(sysconf(_SC_PAGESIZE));
    const int fd = memfd_create("shrinking", MFD_CLOEXEC | MFD_ALLOW_SEALING);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, off_t(2 * page)), 0);
    auto* mapped = static_cast<std::uint8_t*>(
        mmap(nullptr, 2 * page, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0));
    ASSERT_NE(mapped, MAP_FAILED);
    std::memset(mapped, 0xab, 2 * page);
    std::vector<std::uint8_t> copy(2 * page);
    {
        const BusErrorGuard intact(mapped, 2 * page);
        std::memcpy(copy.data(), mapped, copy.size());
        EXPECT_FALSE(intact.failed());
    }
    // The producer truncates: the second page is gone from the file.
    ASSERT_EQ(ftruncate(fd, off_t(page)), 0);
    EXPECT_EQ(std::pair(bytesInFile(fd, false), bytesInFile(fd, true)),
              std::pair(std::optional<std::uint64_t>(page), std::optional<std::uint64_t>(page)));
    {
        const BusErrorGuard shrunk(mapped, 2 * page);
        std::memcpy(copy.data(), mapped, copy.size());
        EXPECT_TRUE(shrunk.failed());
    }
    EXPECT_EQ(std::pair(int(copy[page - 1]), int(copy[page])), std::pair(0xab, 0));
    // Sealed against shrinking, a file's size once checked holds.
    EXPECT_FALSE(cannotShrink(fd));
    ASSERT_EQ(fcntl(fd, F_ADD_SEALS, F_SEAL_SHRINK), 0);
    EXPECT_TRUE(cannotShrink(fd));
    // A fault outside any guarded range still ends the process.
    auto* other = static_cast<std::uint8_t*>(mmap(nullptr, 2 * page, PROT_READ, MAP_SHARED, fd, 0));
    ASSERT_NE(other, MAP_FAILED);
    EXPECT_DEATH(
        {
            const BusErrorGuard elsewhere(mapped, page);
            std::memcpy(copy.data(), other, copy.size());
        },
        "");
    munmap(other, 2 * page);
    munmap(mapped, 2 * page);
    close(fd);
}

TEST(FrameCopy, ReducesByThePowerOfTwoThatKeepsTheShownSize) {
    // What: the size copied, the size shown; the factor.
    // clang-format off
    const std::tuple<const char*, QSize, QSize, int> cases[] = {
        {"exactly four times the shown size", {1280, 720}, {320, 180}, 4},
        {"a pixel short of four times", {1279, 720}, {320, 180}, 2},
        {"less than twice is copied as it is", {639, 360}, {320, 180}, 1},
        {"a zoomed part smaller than the view", {200, 112}, {320, 180}, 1},
        {"the shorter side decides", {1920, 300}, {320, 180}, 1},
        {"never more than 8", {3840, 2160}, {320, 180}, 8},
        {"a screen of scale 2 shows more pixels", {1920, 1080}, {640, 360}, 2},
    };
    // clang-format on
    for (const auto& [what, copied, shown, factor] : cases)
        EXPECT_EQ(reductionFactor(copied, shown), factor) << what;
}

TEST(FrameCopy, CopyIsTheRoundedMeanOfEachWholeBlockInEveryPixelOrder) {
    // A factor of 1 is the plain copy. 19 × 11 pixels in rows padded to 84 bytes, the last row
    // unpadded: nothing past the mapped bytes may be read. Bytes of every size, alpha near 255 to
    // fill the sums.
    const int width = 19, height = 11;
    const std::size_t stride = 84;
    std::vector<std::uint8_t> bytes(stride * (height - 1) + width * 4);
    const auto byteAt = [&](int x, int y, int c) -> std::uint8_t& {
        return bytes[std::size_t(y) * stride + std::size_t(x) * 4 + std::size_t(c)];
    };
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            for (int c = 0; c < 3; ++c)
                byteAt(x, y, c) = std::uint8_t((x * 37 + y * 91 + c * 53) % 256);
            byteAt(x, y, 3) = std::uint8_t(255 - (x + y) % 3);
        }
    // Odd in both directions: the columns and rows past the last whole block are left out.
    const QRect area(1, 1, 17, 10);
    const int swapped[] = {2, 1, 0, 3};
    for (const PixelOrder order :
         {PixelOrder::bgra, PixelOrder::bgrx, PixelOrder::rgba, PixelOrder::rgbx}) {
        const bool swap = order == PixelOrder::rgba || order == PixelOrder::rgbx;
        const bool opaque = order == PixelOrder::bgrx || order == PixelOrder::rgbx;
        const MappedImage image{bytes.data(), bytes.size(), width, height, stride, order};
        for (const int k : {1, 2, 4, 8}) {
            const int w = area.width() / k, h = area.height() / k;
            const std::size_t outStride = std::size_t(w) * 4 + 4;
            std::vector<std::uint8_t> out(outStride * std::size_t(h), 0xab);
            copyAreaReduced(image, area, k, out.data(), outStride);
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x)
                    for (int c = 0; c < 4; ++c) {
                        int sum = 0;
                        const int from = swap ? swapped[c] : c;
                        for (int dy = 0; dy < k; ++dy)
                            for (int dx = 0; dx < k; ++dx)
                                sum += byteAt(area.x() + x * k + dx, area.y() + y * k + dy, from);
                        const int mean = opaque && c == 3 ? 255 : (sum + k * k / 2) / (k * k);
                        ASSERT_EQ(out[std::size_t(y) * outStride + std::size_t(x) * 4 + c], mean)
                            << "order " << int(order) << ", k " << k << ", pixel " << x << "," << y
                            << ", byte " << c;
                    }
            // The padding of each row stays as it was.
            for (int y = 0; y < h; ++y)
                EXPECT_EQ(out[std::size_t(y) * outStride + std::size_t(w) * 4], 0xab) << k;
        }
    }
}
