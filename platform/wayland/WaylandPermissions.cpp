// Tells the user what is missing for capture on Wayland.
#include "platform/wayland/WaylandPermissions.h"

#include "platform/Log.h"
#include "platform/Notifications.h"

namespace mirano::wayland {

WaylandPermissions::WaylandPermissions(QString problem, Notifications& notifications)
    : problem_(std::move(problem)), notifications_(notifications) {}

bool WaylandPermissions::askForCapture() {
    if (problem_.isEmpty()) return true;
    const QString title = QStringLiteral("Mirano cannot capture windows");
    const QString& body = problem_;
    // Also on the terminal: without a notification server the notice would go nowhere.
    logLine(QStringLiteral("%1: %2").arg(title, body));
    notifications_.post(title, body);
    return false;
}

}  // namespace mirano::wayland
