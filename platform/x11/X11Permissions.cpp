// Checks the X server's extensions in place of the system's permission database.
#include "platform/x11/X11Permissions.h"

#include "platform/Log.h"
#include "platform/Notifications.h"
#include "platform/x11/Extensions.h"
#include "platform/x11/X11Desktop.h"

namespace mirano::x11 {

namespace {
const QString kNoDisplay = QStringLiteral("a connection to the X display");
}  // namespace

X11Permissions::X11Permissions(X11Desktop& desktop, Notifications& notifications)
    : desktop_(desktop), notifications_(notifications) {}

QStringList X11Permissions::missingForAccessibility() {
    if (!desktop_.isValid()) return {kNoDisplay};
    xcb_connection_t* c = desktop_.connection().get();
    QStringList missing;
    if (!hasExtension(c, Extension::input, 2, 0)) missing << QStringLiteral("XInput 2");
    if (!hasExtension(c, Extension::xkb, 1, 0)) missing << QStringLiteral("XKB");
    return missing;
}

QStringList X11Permissions::missingForCapture() {
    if (!desktop_.isValid()) return {kNoDisplay};
    xcb_connection_t* c = desktop_.connection().get();
    QStringList missing;
    if (!hasExtension(c, Extension::composite, 0, 2)) missing << QStringLiteral("Composite 0.2");
    if (!extensionData(c, Extension::damage)) missing << QStringLiteral("Damage");
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
