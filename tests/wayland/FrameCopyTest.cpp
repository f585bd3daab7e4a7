// Where a frame's pixels come from in a producer's buffer, and how they are copied.
#include <gtest/gtest.h>

#include <vector>

#include "platform/wayland/FrameCopy.h"

using namespace mirano::wayland;

TEST(FrameCopy, FrameAreaIsTheWindowAndTheSourceRectangleInBufferPixels) {
    struct Case {
        const char* name;
        std::optional<QRect> crop;
        QRectF sourceRect;
        QSizeF logicalSize;
        QRect area;
    };
    const QSize buffer(400, 300);
    // clang-format off
    const Case cases[] = {
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
    for (const Case& c : cases)
        EXPECT_EQ(frameArea(buffer, c.crop, c.sourceRect, c.logicalSize), c.area) << c.name;
}

TEST(FrameCopy, RowsMustLieWithinTheMappedBytes) {
    struct Case {
        const char* name;
        std::size_t size;
        std::size_t stride;
        bool holds;
    };
    // 10 × 3 pixels: rows of 40 bytes.
    const Case cases[] = {
        {"packed rows, stride 0", 120, 0, true},
        {"one byte short", 119, 0, false},
        {"padded rows, the last one unpadded", 48 * 2 + 40, 48, true},
        {"padded rows, one byte short", 48 * 2 + 39, 48, false},
        {"a stride shorter than a row", 200, 36, false},
    };
    std::vector<std::uint8_t> bytes(256);
    for (const Case& c : cases) {
        MappedImage image{bytes.data(), c.size, 10, 3, c.stride, PixelOrder::bgra};
        EXPECT_EQ(image.holdsItsRows(), c.holds) << c.name;
    }
}

TEST(FrameCopy, CopiesAreaAsBgraInEveryPixelOrder) {
    struct Case {
        PixelOrder order;
        std::uint8_t first[4];  // the first pixel of the area, as a frame holds it
    };
    // Pixels of 4 bytes (1, 2, 3, 4), (5, 6, 7, 8) ... in rows of 3 pixels, padded to 16 bytes.
    std::vector<std::uint8_t> bytes(32);
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = std::uint8_t(i % 16 + 1);
    const Case cases[] = {
        {PixelOrder::bgra, {5, 6, 7, 8}},
        {PixelOrder::bgrx, {5, 6, 7, 0xff}},
        {PixelOrder::rgba, {7, 6, 5, 8}},
        {PixelOrder::rgbx, {7, 6, 5, 0xff}},
    };
    for (const Case& c : cases) {
        const MappedImage image{bytes.data(), bytes.size(), 3, 2, 16, c.order};
        std::vector<std::uint8_t> out(2 * 2 * 4, 0);
        copyArea(image, QRect(1, 0, 2, 2), out.data(), 8);
        const std::vector<std::uint8_t> firstPixel(out.begin(), out.begin() + 4);
        EXPECT_EQ(firstPixel, std::vector<std::uint8_t>(c.first, c.first + 4)) << int(c.order);
        // The second row starts one stride further in the source.
        EXPECT_EQ(out[8 + 1], bytes[16 + 4 + 1]) << int(c.order);
    }
}
