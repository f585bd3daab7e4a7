// How a picture buffer shows through a viewport: the part shown, the size, the cut corners.
#include <gtest/gtest.h>

#include <vector>

#include "platform/wayland/present/ViewportGeometry.h"

using namespace mirano::wayland;

TEST(ViewportGeometry, TheShownPartFillsTheViewInSurfaceUnits) {
    // What: the part shown, the view, Qt's scale; the source, destination and corner radius.
    // clang-format off
    const std::tuple<const char*, QRect, QSizeF, double, QRectF, QSize, QSizeF> cases[] = {
        {"a window of the view's aspect is scaled whole", {0, 0, 640, 480}, {320, 240}, 1,
         {0, 0, 640, 480}, {320, 240}, {24, 24}},
        {"a zoom shows its part of the buffer", {100, 50, 160, 120}, {320, 240}, 1,
         {100, 50, 160, 120}, {320, 240}, {6, 6}},
        {"a wider picture loses its sides evenly", {0, 0, 800, 480}, {320, 240}, 1,
         {80, 0, 640, 480}, {320, 240}, {24, 24}},
        {"a taller picture loses top and bottom evenly", {0, 0, 640, 600}, {320, 240}, 1,
         {0, 60, 640, 480}, {320, 240}, {24, 24}},
        {"Qt's own scale factor doubles the destination", {0, 0, 640, 480}, {320, 240}, 2,
         {0, 0, 640, 480}, {640, 480}, {24, 24}},
        {"parts of points round to whole surface units", {0, 0, 640, 480}, {160.4, 120.4}, 1,
         {0, 0, 640, 480}, {160, 120}, {48, 48}},
        {"an empty view shows nothing, on a destination never empty", {0, 0, 640, 480},
         {0, 240}, 1, {}, {1, 240}, {}},
        {"nothing to show shows nothing", {}, {320, 240}, 1, {}, {320, 240}, {}},
    };
    // clang-format on
    for (const auto& [what, shown, view, scale, source, destination, radius] : cases) {
        const ViewportPlacement placed = placeViewport(shown, view, scale, 12);
        const QSizeF off = placed.cornerRadius - radius;
        EXPECT_EQ(std::tuple(placed.source, placed.destination,
                             std::max(std::abs(off.width()), std::abs(off.height())) < 0.01),
                  std::tuple(source, destination, true))
            << what;
    }
}

TEST(ViewportGeometry, CornersOfTheSourceBecomeTransparentAndTheRestStays) {
    // A white 40 × 30 image whose middle 20 × 20 is shown with corners of radius 6.
    const QSize size(40, 30);
    std::vector<std::uint8_t> pixels(std::size_t(size.width() * size.height()) * 4, 0xff);
    cutCorners(pixels.data(), std::size_t(size.width()) * 4, size, QRectF(10, 5, 20, 20), {6, 6});
    // Byte 3 is alpha, byte 0 blue.
    const auto byte = [&](QPoint p, int c = 3) {
        return int(pixels[std::size_t(p.y() * 40 + p.x()) * 4 + std::size_t(c)]);
    };
    // The very corners are gone, colour and alpha alike (premultiplied).
    for (const QPoint p : {QPoint(10, 5), QPoint(29, 5), QPoint(10, 24), QPoint(29, 24)})
        EXPECT_EQ(std::pair(byte(p), byte(p, 0)), std::pair(0, 0)) << p.x() << "," << p.y();
    // On the arc the edge is partly covered; along the sides, inside and outside nothing changes.
    EXPECT_TRUE(byte({11, 7}) > 0 && byte({11, 7}) < 0xff) << byte({11, 7});
    for (const QPoint kept : {QPoint(20, 5), QPoint(10, 15), QPoint(20, 15), QPoint(16, 11),
                              QPoint(9, 5), QPoint(30, 24), QPoint(0, 0), QPoint(39, 29)})
        EXPECT_EQ(byte(kept), 0xff) << kept.x() << "," << kept.y();
}
