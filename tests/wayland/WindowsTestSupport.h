// What the tests of the Wayland window services share: the test windows' application ids and
// the application id a service reports as focused.
#pragma once

#include <QString>

#include "platform/Windows.h"

namespace mirano::testing {

inline const QString kA = QStringLiteral("mirano.test.a");
inline const QString kB = QStringLiteral("mirano.test.b");

/// The application id of the window `windows` reports as focused; empty when none.
inline QString focusedAppId(Windows& windows) {
    const auto focused = windows.focusedWindow();
    return focused ? focused->application.applicationID.value_or(QString()) : QString();
}

}  // namespace mirano::testing
