// The Wayland desktop services, each in the form this desktop allows.
#pragma once

#include <memory>

#include "platform/wayland/DesktopCapabilities.h"

class QObject;

namespace mirano {
class PanelWindowSystem;
}  // namespace mirano

namespace mirano::wayland {

class ToplevelList;
class WaylandWindows;

/// Call before the QApplication is made, on any platform: lets Qt's Wayland plugin keep the
/// positions we give top-levels (it otherwise moves each to its screen's top-left corner, and
/// reads this setting only at start), which the panels' anchoring is computed from.
void prepareQtForPanels();
/// Layer-surface panels, or ordinary windows where the desktop has no layer shell.
std::unique_ptr<PanelWindowSystem> makePanelWindowSystem(PanelMode mode);
/// The windows of `list` where the desktop offers wlr-foreign-toplevel-management, KWin's windows
/// through a script where KWin runs on the session bus, otherwise a service that knows no
/// windows, lets the capture dialog pick, and says so once per behaviour.
std::unique_ptr<WaylandWindows> makeWindows(FocusSource focus, std::shared_ptr<ToplevelList> list,
                                            QObject* parent = nullptr);

}  // namespace mirano::wayland
