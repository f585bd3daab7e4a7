// Helpers shared by the tests on a headless compositor: test windows, the focused one as a
// window service reports it, and reading screenshots.
#pragma once

#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <QRect>
#include <functional>

#include "platform/Windows.h"
#include "tests/support/Pixels.h"
#include "tests/support/WaylandSession.h"
#include "tests/support/X11Session.h"

namespace mirano::testing {

inline const QString kA = QStringLiteral("mirano.test.a");
inline const QString kB = QStringLiteral("mirano.test.b");

/// Starts our test window with `appId` in `colour` on `session` and waits until it is the active
/// window, as `active` tells (sway's focused view when not given).
inline ChildProcess* startTestWindow(WaylandSession& session, const QString& appId,
                                     const QString& colour, std::function<QString()> active = {}) {
    if (!active) active = [&session] { return session.focusedAppId(); };
    ChildProcess* client = session.startClient(
        X11Session::builtProgram("tests/wayland/mirano_wayland_test_window"), {appId, colour});
    EXPECT_TRUE(waitUntil([&] { return active() == appId; }, 15000))
        << qPrintable(appId) << " never became the active window";
    return client;
}

/// The application id of the window `windows` reports as focused; empty when none.
inline QString focusedAppId(Windows& windows) {
    const auto focused = windows.focusedWindow();
    return focused ? focused->application.applicationID.value_or(QString()) : QString();
}

/// Waits until the screen shows `colour` exactly within `expected` (empty: nowhere); says where
/// it was seen when it does not.
inline ::testing::AssertionResult waitForColourAt(const QColor& colour, const QRect& expected) {
    QRect seen;  // the bounding box of the pixels of exactly `colour`
    const auto shown = [&] {
        const QImage shot = gSway->screenshot().convertToFormat(QImage::Format_RGB32);
        seen = QRect();
        for (int y = 0; y < shot.height(); ++y) {
            const auto* line = reinterpret_cast<const QRgb*>(shot.constScanLine(y));
            for (int x = 0; x < shot.width(); ++x)
                if (line[x] == colour.rgb()) seen |= QRect(x, y, 1, 1);
        }
        return seen == expected;
    };
    if (waitUntil(shown, 10000)) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "seen at " << describe(seen);
}

}  // namespace mirano::testing
