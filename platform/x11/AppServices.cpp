// The application's own real services: desktop notifications and the application object.
#include "platform/Platform.h"
#include "platform/qt/DBusNotifications.h"
#include "platform/qt/QtApplication.h"

namespace mirano {

Notifications& Platform::notifications() {
    static auto* notifications = new DBusNotifications();
    return *notifications;
}

Application& Platform::application() {
    static auto* application = new QtApplication();
    return *application;
}

}  // namespace mirano
