#include "tests/support/Pixels.h"

#include <algorithm>
#include <cstdlib>

namespace mirano::testing {

bool near(const QColor& a, const QColor& b, int tolerance) {
    return a.isValid() && std::abs(a.red() - b.red()) <= tolerance &&
           std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance &&
           std::abs(a.alpha() - b.alpha()) <= tolerance;
}

bool shows(const PixelSource& pixel, const QRect& area, const std::vector<ColourAt>& expected,
           int tolerance) {
    return std::all_of(expected.begin(), expected.end(), [&](const ColourAt& c) {
        const QPoint p(area.x() + std::min(int(c.x * area.width()), area.width() - 1),
                       area.y() + std::min(int(c.y * area.height()), area.height() - 1));
        return near(pixel(p), c.colour, tolerance);
    });
}

bool frameShows(const Frame& frame, const std::vector<ColourAt>& expected) {
    return frame && shows([&](QPoint p) { return pixelOf(frame, p.x(), p.y()); },
                          QRect(0, 0, frame->width(), frame->height()), expected, 0);
}

const std::vector<ColourAt> kQuadrants = {{0.25, 0.25, Qt::red},
                                          {0.75, 0.25, Qt::green},
                                          {0.25, 0.75, Qt::white},
                                          {0.75, 0.75, Qt::blue}};

const std::vector<ColourAt> kBars = [] {
    std::vector<ColourAt> bars;
    for (QColor c :
         {Qt::white, Qt::yellow, Qt::cyan, Qt::green, Qt::magenta, Qt::red, Qt::blue, Qt::black})
        bars.push_back({(2 * double(bars.size()) + 1) / 16, 0.5, c});
    return bars;
}();

QColor pixelOf(const Frame& frame, int x, int y) {
    const std::uint8_t* p = frame->data() + std::size_t(y) * frame->bytesPerRow() + x * 4u;
    return QColor(p[2], p[1], p[0], p[3]);
}

QColor pixelOf(const QImage& shot, int x, int y) {
    const double dpr = shot.devicePixelRatio();
    return shot.pixelColor(int(x * dpr), int(y * dpr));
}

}  // namespace mirano::testing
