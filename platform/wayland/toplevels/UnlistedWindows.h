// Other applications' windows where the compositor lists none to clients (GNOME).
#pragma once

#include "platform/Log.h"
#include "platform/wayland/toplevels/WaylandWindows.h"

namespace mirano::wayland {

/// No window is known, so the focused window stands for "the window the desktop's dialog
/// picks": the ScreenCast portal asks the user which one to mirror. That window is never full
/// screen nor minimised, and activating it does nothing. The first use of focus and of
/// full-screen state each says once what is unavailable on this desktop.
class UnlistedWindows final : public WaylandWindows {
public:
    using WaylandWindows::WaylandWindows;

    /// The number that stands for the window the dialog picks.
    static constexpr WindowNumber kPickedInDialog = 1;

    QList<SourceWindow> listedWindows() const override;
    std::optional<SourceWindow> focusedWindow() override;
    std::optional<QRectF> frame(WindowNumber window) override;
    bool isFullScreen(WindowNumber window) override;
    bool isMinimized(WindowNumber window) override;
    void unminimize(WindowNumber window) override;
    void activate(WindowNumber window) override;

private:
    void sayNoFocus();
    LogOnce focusLog_;
    LogOnce fullScreenLog_;
};

}  // namespace mirano::wayland
