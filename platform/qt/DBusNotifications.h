// Desktop notifications through org.freedesktop.Notifications on the session bus.
#pragma once

#include <QDBusConnection>

#include "platform/Notifications.h"

namespace mirano {

/// Posts without waiting for the answer. No bus, no notification server or an error reply:
/// the notification is dropped quietly. Main thread only.
class DBusNotifications final : public Notifications {
public:
    /// On the session bus.
    DBusNotifications();
    /// On the given connection (tests use a private bus).
    explicit DBusNotifications(const QDBusConnection& connection);

    /// Notifications need no permission on this desktop: nothing to ask.
    void requestAuthorization() override {}
    void post(const QString& title, const QString& body) override;

private:
    QDBusConnection connection_;
};

}  // namespace mirano
