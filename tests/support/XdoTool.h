// xdotool on the test display ($DISPLAY), for what a user asks of the window manager.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>

#include "tests/support/ChildProcess.h"

namespace mirano::testing {

/// Runs xdotool with the arguments (bounded); its standard output, nothing when it failed.
inline std::optional<QString> xdotool(const QStringList& args) {
    const auto out = ChildProcess::run("xdotool", args);
    return out ? std::optional(QString::fromLocal8Bit(*out)) : std::nullopt;
}
/// The window the window manager has made active (0: none).
inline unsigned activeWindow() {
    return xdotool({"getactivewindow"}).value_or("0").trimmed().toUInt();
}
/// Has the window manager activate `window` and give it the focus; false when it did not.
inline bool activate(unsigned window) {
    const QString w = QString::number(window);
    return xdotool({"windowactivate", "--sync", w}) && xdotool({"windowfocus", "--sync", w});
}

}  // namespace mirano::testing
