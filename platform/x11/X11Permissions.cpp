// Checks the X server's extensions in place of the system's permission database.
#include "platform/x11/X11Permissions.h"

#include <xcb/composite.h>
#include <xcb/damage.h>
#include <xcb/xinput.h>

#include "platform/Log.h"
#include "platform/Notifications.h"
#include "platform/x11/X11Desktop.h"
// xkb.h names a struct member "explicit".
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit

namespace mirano::x11 {

namespace {
const QString kNoDisplay = QStringLiteral("a connection to the X display");

bool present(xcb_connection_t* c, xcb_extension_t* ext) {
    const auto* data = xcb_get_extension_data(c, ext);
    return data && data->present;
}
}  // namespace

X11Permissions::X11Permissions(X11Desktop& desktop, Notifications& notifications)
    : desktop_(desktop), notifications_(notifications) {}

QStringList X11Permissions::missingForAccessibility() {
    if (!desktop_.isValid()) return {kNoDisplay};
    xcb_connection_t* c = desktop_.connection().get();
    QStringList missing;
    bool xi2 = false;
    if (present(c, &xcb_input_id)) {
        auto r = reply(
            xcb_input_xi_query_version_reply(c, xcb_input_xi_query_version(c, 2, 0), nullptr));
        xi2 = r && r->major_version >= 2;
    }
    if (!xi2) missing << QStringLiteral("XInput 2");
    bool xkb = false;
    if (present(c, &xcb_xkb_id)) {
        auto r = reply(xcb_xkb_use_extension_reply(c, xcb_xkb_use_extension(c, 1, 0), nullptr));
        xkb = r && r->supported;
    }
    if (!xkb) missing << QStringLiteral("XKB");
    return missing;
}

QStringList X11Permissions::missingForCapture() {
    if (!desktop_.isValid()) return {kNoDisplay};
    xcb_connection_t* c = desktop_.connection().get();
    QStringList missing;
    bool composite = false;
    if (present(c, &xcb_composite_id)) {
        auto r = reply(
            xcb_composite_query_version_reply(c, xcb_composite_query_version(c, 0, 4), nullptr));
        composite = r && (r->major_version > 0 || r->minor_version >= 2);
    }
    if (!composite) missing << QStringLiteral("Composite 0.2");
    if (!present(c, &xcb_damage_id)) missing << QStringLiteral("Damage");
    // Without Render or MIT-SHM capture still works, more slowly (and says so).
    return missing;
}

bool X11Permissions::checkKeyboardAccess(bool prompt) {
    const QStringList missing = missingForAccessibility();
    if (missing.isEmpty()) return true;
    if (prompt)
        tell(QStringLiteral("Mirano cannot read the keyboard"),
             QStringLiteral("The X server lacks %1.").arg(missing.join(QStringLiteral(", "))));
    return false;
}

bool X11Permissions::canCapture() { return missingForCapture().isEmpty(); }

bool X11Permissions::askForCapture() {
    const QStringList missing = missingForCapture();
    if (missing.isEmpty()) return true;
    tell(QStringLiteral("Mirano cannot capture windows"),
         QStringLiteral("The X server lacks %1.").arg(missing.join(QStringLiteral(", "))));
    return false;
}

void X11Permissions::tell(const QString& title, const QString& body) {
    // Also on the terminal: without a notification server the notice would go nowhere.
    logLine(QStringLiteral("%1: %2").arg(title, body));
    notifications_.post(title, body);
}

}  // namespace mirano::x11
