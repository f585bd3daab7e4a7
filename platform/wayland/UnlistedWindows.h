// Other applications' windows where the compositor lists none to clients (GNOME).
#pragma once

#include "platform/Log.h"
#include "platform/Windows.h"

namespace mirano::wayland {

/// No window is known: there is no focused window, none is full screen or minimised, and
/// activation does nothing. The first use of focus and of full-screen state each says once
/// that it is unavailable on this desktop.
class UnlistedWindows final : public Windows {
    Q_OBJECT
public:
    using Windows::Windows;

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
