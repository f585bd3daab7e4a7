// Tells the user what is missing for capture on Wayland.
#include "platform/wayland/WaylandPermissions.h"

#include "platform/Log.h"
#include "platform/Notifications.h"

namespace mirano::wayland {

WaylandPermissions::WaylandPermissions(bool portal, Notifications& notifications)
    : portal_(portal), notifications_(notifications) {}

bool WaylandPermissions::askForCapture() {
    if (portal_) return true;
    const QString title = QStringLiteral("Mirano cannot capture windows");
    const QString body = QStringLiteral(
        "The desktop offers no screen-cast portal: install xdg-desktop-portal and this desktop's "
        "portal backend.");
    // Also on the terminal: without a notification server the notice would go nowhere.
    logLine(QStringLiteral("%1: %2").arg(title, body));
    notifications_.post(title, body);
    return false;
}

}  // namespace mirano::wayland
