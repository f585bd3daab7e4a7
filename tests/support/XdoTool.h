// xdotool on the test display ($DISPLAY), for what a user asks of the window manager.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace mirano::testing {

/// Runs xdotool with the arguments (bounded); its standard output, nothing when it failed.
std::optional<QString> xdotool(const QStringList& args);
/// The window the window manager has made active (0: none).
unsigned activeWindow();
/// Has the window manager activate `window` and give it the focus; false when it did not.
bool activate(unsigned window);

}  // namespace mirano::testing
