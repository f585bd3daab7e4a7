// Pixel checks of the tests: colours alike, and colours at places of an area on the screen, in
// a captured frame or in a grabbed widget image; the test client's patterns.
#pragma once

#include <QColor>
#include <QDebug>
#include <QImage>
#include <QRect>
#include <algorithm>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "platform/Frame.h"

namespace mirano::testing {

/// Colours closer than `tolerance` in every channel, alpha included.
inline bool near(const QColor& a, const QColor& b, int tolerance = 12) {
    return a.isValid() && std::abs(a.red() - b.red()) <= tolerance &&
           std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance &&
           std::abs(a.alpha() - b.alpha()) <= tolerance;
}

/// A colour expected at a point given as fractions of an area's width and height.
struct ColourAt {
    double x, y;
    QColor colour;
};

/// Whether `pixel` shows each colour at its place in `area`, within `tolerance`.
inline bool shows(const std::function<QColor(QPoint)>& pixel, const QRect& area,
                  const std::vector<ColourAt>& expected, int tolerance = 12) {
    return std::all_of(expected.begin(), expected.end(), [&](const ColourAt& c) {
        const QPoint p(area.x() + std::min(int(c.x * area.width()), area.width() - 1),
                       area.y() + std::min(int(c.y * area.height()), area.height() - 1));
        return near(pixel(p), c.colour, tolerance);
    });
}

/// One pixel of a frame.
inline QColor pixelOf(const Frame& frame, int x, int y) {
    const std::uint8_t* p = frame->data() + std::size_t(y) * frame->bytesPerRow() + x * 4u;
    return QColor(p[2], p[1], p[0], p[3]);
}
/// The pixel at widget point (x, y) of a grabbed image, whatever its device pixel ratio.
inline QColor pixelOf(const QImage& shot, int x, int y) {
    return shot.pixelColor(int(x * shot.devicePixelRatio()), int(y * shot.devicePixelRatio()));
}

/// Whether the frame shows each colour at its place, exactly (false without a frame).
inline bool frameShows(const Frame& frame, const std::vector<ColourAt>& expected) {
    return frame && shows([&](QPoint p) { return pixelOf(frame, p.x(), p.y()); },
                          QRect(0, 0, frame->width(), frame->height()), expected, 0);
}

/// The test client's "quadrants" (red, green, white, blue) at the quadrants' centres.
inline const std::vector<ColourAt> kQuadrants = {{0.25, 0.25, Qt::red},
                                                 {0.75, 0.25, Qt::green},
                                                 {0.25, 0.75, Qt::white},
                                                 {0.75, 0.75, Qt::blue}};
/// The test client's eight "bars" at their centres.
inline const std::vector<ColourAt> kBars = {{1 / 16., .5, Qt::white},   {3 / 16., .5, Qt::yellow},
                                            {5 / 16., .5, Qt::cyan},    {7 / 16., .5, Qt::green},
                                            {9 / 16., .5, Qt::magenta}, {11 / 16., .5, Qt::red},
                                            {13 / 16., .5, Qt::blue},   {15 / 16., .5, Qt::black}};

/// A text for failure messages (a colour, point, rectangle).
template <typename T>
std::string describe(const T& value) {
    return QDebug::toString(value).toStdString();
}

}  // namespace mirano::testing
