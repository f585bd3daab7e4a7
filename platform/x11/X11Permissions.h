// Permissions on X11: what the X server offers decides what Mirano can do.
#pragma once

#include <QStringList>

#include "platform/Permissions.h"

namespace mirano {
class Notifications;
}

namespace mirano::x11 {

class X11Desktop;

/// Trusted when the connection is open with XInput 2 and XKB; capture allowed when Composite
/// 0.2 or later, Damage, Render and MIT-SHM are present. There is no system prompt: a request
/// posts a notification naming what is missing.
class X11Permissions final : public Permissions {
public:
    X11Permissions(X11Desktop& desktop, Notifications& notifications);

    bool checkKeyboardAccess(bool prompt) override;
    bool canCapture() override;
    bool askForCapture() override;

    /// What keeps the keyboard tap and window access from working (empty: nothing).
    QStringList missingForAccessibility();
    /// What keeps capture from working (empty: nothing).
    QStringList missingForCapture();

private:
    /// A notification, and the same on the log.
    void tell(const QString& title, const QString& body);

    X11Desktop& desktop_;
    Notifications& notifications_;
};

}  // namespace mirano::x11
