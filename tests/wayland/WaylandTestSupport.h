// Helpers shared by the tests on a headless compositor: test windows, and the focused one as a
// window service reports it.
#pragma once

#include <gtest/gtest.h>

#include <functional>

#include "platform/Windows.h"
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

}  // namespace mirano::testing
