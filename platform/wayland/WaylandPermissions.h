// Permissions on Wayland: the desktop's portal decides whether windows can be captured.
#pragma once

#include <QString>

#include "platform/Permissions.h"

namespace mirano {
class Notifications;
}

namespace mirano::wayland {

/// There is nothing to grant for the keyboard (no global keys are read: WaylandEventTap), so
/// access is always there. Capture needs the ScreenCast portal, whose consent dialog is the
/// real permission, asked for each application; where the portal cannot share windows a request
/// posts a notification saying what is missing.
class WaylandPermissions final : public Permissions {
public:
    /// `problem`: why the desktop cannot capture windows (DesktopCapabilities), empty when it
    /// can.
    WaylandPermissions(QString problem, Notifications& notifications);

    bool checkKeyboardAccess(bool) override { return true; }
    bool canCapture() override { return problem_.isEmpty(); }
    bool askForCapture() override;

private:
    QString problem_;
    Notifications& notifications_;
};

}  // namespace mirano::wayland
