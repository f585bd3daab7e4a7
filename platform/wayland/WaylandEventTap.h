// The keyboard tap on Wayland, where no client sees the session's keys.
#pragma once

#include "platform/EventTap.h"
#include "platform/Log.h"

namespace mirano::wayland {

/// Wayland gives key events only to the focused surface, so there is nothing to listen to and
/// nothing to take: start() succeeds (the rest of Mirano works) and says once, through `reason`,
/// how the hotkey's work is reached instead: the desktop's shortcuts where it binds them for us,
/// else keys bound in the compositor to the command line. No callback ever runs.
class WaylandEventTap final : public EventTap {
public:
    /// `reason` is shared by every tap of the process and outlives them.
    WaylandEventTap(LogOnce& reason, bool desktopShortcuts)
        : reason_(reason), desktopShortcuts_(desktopShortcuts) {}

    bool start(std::function<void(const KeyEvent&)> onKey,
               std::function<void(const TapGrabs&)> onTriggerTaken) override;
    void stop() override {}
    void setGrabs(const TapGrabs&) override {}
    bool seesSessionKeys() const override { return false; }

private:
    LogOnce& reason_;
    bool desktopShortcuts_;
};

}  // namespace mirano::wayland
