#include "platform/qt/DBusNotifications.h"

#include <QDBusMessage>
#include <QStringList>
#include <QVariantMap>

namespace mirano {

namespace {
const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
}  // namespace

DBusNotifications::DBusNotifications() : connection_(QDBusConnection::sessionBus()) {}

DBusNotifications::DBusNotifications(const QDBusConnection& connection) : connection_(connection) {}

void DBusNotifications::post(const QString& title, const QString& body) {
    if (!connection_.isConnected()) return;
    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, kPath, kService, QStringLiteral("Notify"));
    QVariantMap hints;
    // Lets the server find our icon and name, and play its usual sound.
    hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("mirano"));
    hints.insert(QStringLiteral("sound-name"), QStringLiteral("message-new-instant"));
    call << QStringLiteral("Mirano")  // app_name
         << 0u                        // replaces_id: a new notification every time
         << QStringLiteral("mirano")  // app_icon
         << title
         // Servers may read the body as markup: text from outside (a feed's version) must not
         // turn into tags or links.
         << body.toHtmlEscaped() << QStringList()  // actions
         << hints << -1;                           // expire_timeout: the server's default
    // Fire and forget: the reply (or the error when no server runs) is ignored.
    call.setAutoStartService(true);
    connection_.send(call);
}

}  // namespace mirano
