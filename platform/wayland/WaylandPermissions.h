// Permissions on Wayland: the desktop's portal decides whether windows can be captured.
#pragma once

#include "platform/Permissions.h"

namespace mirano {
class Notifications;
}

namespace mirano::wayland {

/// There is nothing to grant for the keyboard (no global keys are read: WaylandEventTap), so
/// access is always there. Capture needs the ScreenCast portal, whose consent dialog is the
/// real permission, asked for each application; without the portal a request posts a
/// notification saying what to install.
class WaylandPermissions final : public Permissions {
public:
    /// `portal`: the desktop offers the ScreenCast portal (DesktopCapabilities).
    WaylandPermissions(bool portal, Notifications& notifications);

    bool checkKeyboardAccess(bool) override { return true; }
    bool canCapture() override { return portal_; }
    bool askForCapture() override;

private:
    bool portal_;
    Notifications& notifications_;
};

}  // namespace mirano::wayland
