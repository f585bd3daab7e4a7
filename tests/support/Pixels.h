// Pixel checks of the tests: colours alike, and colours at places of an area on the screen, in
// a captured frame or in a grabbed widget image; the test client's patterns.
#pragma once

#include <QColor>
#include <QDebug>
#include <QImage>
#include <QRect>
#include <functional>
#include <string>
#include <vector>

#include "platform/Frame.h"

namespace mirano::testing {

/// Colours closer than `tolerance` in every channel, alpha included.
bool near(const QColor& a, const QColor& b, int tolerance = 12);

/// A colour expected at a point given as fractions of an area's width and height.
struct ColourAt {
    double x, y;
    QColor colour;
};
/// The colour at a point (of the screen, a frame, an image).
using PixelSource = std::function<QColor(QPoint)>;

/// Whether `pixel` shows each colour at its place in `area`, within `tolerance`.
bool shows(const PixelSource& pixel, const QRect& area, const std::vector<ColourAt>& expected,
           int tolerance = 12);
/// Whether the frame shows each colour at its place, exactly (false without a frame).
bool frameShows(const Frame& frame, const std::vector<ColourAt>& expected);

/// The test client's "quadrants" (red, green, white, blue) at the quadrants' centres.
extern const std::vector<ColourAt> kQuadrants;
/// The test client's eight "bars" at their centres.
extern const std::vector<ColourAt> kBars;

/// One pixel of a frame.
QColor pixelOf(const Frame& frame, int x, int y);
/// The pixel at widget point (x, y) of a grabbed image, whatever its device pixel ratio.
QColor pixelOf(const QImage& shot, int x, int y);

/// A text for failure messages (a colour, point, rectangle).
template <typename T>
std::string describe(const T& value) {
    return QDebug::toString(value).toStdString();
}

}  // namespace mirano::testing
