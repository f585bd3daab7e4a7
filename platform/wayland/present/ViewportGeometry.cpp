#include "platform/wayland/present/ViewportGeometry.h"

#include <algorithm>
#include <cmath>

#include "platform/AspectFit.h"

namespace mirano::wayland {

ViewportPlacement placeViewport(const QRectF& shown, const QSizeF& viewSize, double surfaceScale,
                                double radius) {
    ViewportPlacement placed;
    const QSize destination(qRound(viewSize.width() * surfaceScale),
                            qRound(viewSize.height() * surfaceScale));
    // A viewport's destination is never empty; the source is what decides if anything shows.
    placed.destination = destination.expandedTo(QSize(1, 1));
    if (shown.isEmpty() || destination.isEmpty()) return placed;
    placed.source = placeAspect(shown, QSizeF(destination), AspectMode::fill).source;
    // Buffer pixels per surface unit, across and down (equal but for rounding).
    const double across = placed.source.width() / destination.width();
    const double down = placed.source.height() / destination.height();
    placed.cornerRadius = QSizeF(radius * surfaceScale * across, radius * surfaceScale * down);
    return placed;
}

namespace {

/// Scales one premultiplied pixel's four channels by `coverage` (0 ... 1).
void fade(std::uint8_t* pixel, double coverage) {
    for (int i = 0; i < 4; ++i) pixel[i] = std::uint8_t(std::lround(pixel[i] * coverage));
}

}  // namespace

void cutCorners(std::uint8_t* pixels, std::size_t stride, QSize size, const QRectF& source,
                QSizeF radius) {
    const double rx = std::min(radius.width(), source.width() / 2);
    const double ry = std::min(radius.height(), source.height() / 2);
    if (!(rx >= 0.5) || !(ry >= 0.5)) return;
    // The edge is antialiased over about one pixel of the shorter radius.
    const double edge = std::min(rx, ry);
    for (const int sx : {-1, 1}) {
        for (const int sy : {-1, 1}) {
            // The centre of the corner's ellipse, and the pixels between it and the corner.
            const double cx = sx < 0 ? source.left() + rx : source.right() - rx;
            const double cy = sy < 0 ? source.top() + ry : source.bottom() - ry;
            const int x0 = std::max(0, int(std::floor(sx < 0 ? source.left() : cx)));
            const int x1 = std::min(size.width(), int(std::ceil(sx < 0 ? cx : source.right())));
            const int y0 = std::max(0, int(std::floor(sy < 0 ? source.top() : cy)));
            const int y1 = std::min(size.height(), int(std::ceil(sy < 0 ? cy : source.bottom())));
            for (int y = y0; y < y1; ++y) {
                const double dy = (y + 0.5 - cy) / ry;
                std::uint8_t* row = pixels + std::size_t(y) * stride;
                for (int x = x0; x < x1; ++x) {
                    const double dx = (x + 0.5 - cx) / rx;
                    // Only the quarter of the ellipse's square outside the ellipse is cut.
                    if (dx * sx <= 0 || dy * sy <= 0) continue;
                    const double coverage =
                        std::clamp((1 - std::hypot(dx, dy)) * edge + 0.5, 0.0, 1.0);
                    if (coverage < 1) fade(row + std::size_t(x) * 4, coverage);
                }
            }
        }
    }
}

void dimPixels(const std::uint8_t* from, std::uint8_t* to, std::size_t bytes, double opacity) {
    // Premultiplied: every channel, alpha too, scales alike; 256ths keep it to integer work.
    const unsigned factor = unsigned(std::lround(std::clamp(opacity, 0.0, 1.0) * 256));
    for (std::size_t i = 0; i < bytes; ++i) to[i] = std::uint8_t((from[i] * factor) >> 8);
}

}  // namespace mirano::wayland
