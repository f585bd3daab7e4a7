// Helpers shared by the tests on headless sway: test windows and reading screenshots.
#pragma once

#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <QRect>

#include "tests/support/Pixels.h"
#include "tests/support/WaylandSession.h"
#include "tests/support/X11Session.h"

namespace mirano::testing {

/// Starts our test window with `appId` in `colour` and waits until sway shows it focused.
inline ChildProcess* startTestWindow(const QString& appId, const QString& colour) {
    ChildProcess* client = gSway->startClient(
        X11Session::builtProgram("tests/wayland/mirano_wayland_test_window"), {appId, colour});
    EXPECT_TRUE(waitUntil([&] { return gSway->focusedAppId() == appId; }, 15000))
        << "sway never focused " << qPrintable(appId);
    return client;
}

/// The bounding box of the pixels of exactly `colour` (empty when there are none).
inline QRect colourBounds(const QImage& image, const QColor& colour) {
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    const QRgb wanted = colour.rgb();
    QRect box;
    for (int y = 0; y < rgb.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        for (int x = 0; x < rgb.width(); ++x)
            if (line[x] == wanted) box |= QRect(x, y, 1, 1);
    }
    return box;
}

/// Waits until the screen shows `colour` exactly within `expected` (empty: nowhere); says where
/// it was seen when it does not.
inline ::testing::AssertionResult waitForColourAt(const QColor& colour, const QRect& expected) {
    QRect seen;
    if (waitUntil([&] { return (seen = colourBounds(gSway->screenshot(), colour)) == expected; },
                  10000))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "seen at " << describe(seen);
}

}  // namespace mirano::testing
