// Gathers the desktop's facts: Wayland globals, $XDG_CURRENT_DESKTOP, bus names, portal.
#include "platform/wayland/DesktopProbe.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QXmlStreamReader>

#include "platform/wayland/client/WaylandConnection.h"

namespace mirano::wayland {

namespace {

QList<WaylandGlobal> readGlobals() {
    WaylandConnection connection;
    if (!connection.isValid()) return {};
    return WaylandRegistry(connection.display()).globals();
}

QStringList busNames(QDBusConnection& bus) {
    QDBusConnectionInterface* daemon = bus.interface();
    if (!daemon) return {};
    QStringList names = daemon->registeredServiceNames().value();
    names += daemon->activatableServiceNames().value();
    return names;
}

std::optional<QStringList> portalInterfaces(QDBusConnection& bus, int timeoutMs) {
    const QDBusMessage reply = bus.call(
        QDBusMessage::createMethodCall(
            kPortalName, QStringLiteral("/org/freedesktop/portal/desktop"),
            QStringLiteral("org.freedesktop.DBus.Introspectable"), QStringLiteral("Introspect")),
        QDBus::Block, timeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return std::nullopt;
    QStringList interfaces;
    QXmlStreamReader xml(reply.arguments().constFirst().toString());
    while (!xml.atEnd() && !xml.hasError()) {
        if (xml.readNext() == QXmlStreamReader::StartElement &&
            xml.name() == QLatin1String("interface"))
            interfaces << xml.attributes().value(QLatin1String("name")).toString();
    }
    return interfaces;
}
}  // namespace

DesktopFacts probeDesktop(int portalTimeoutMs) {
    DesktopFacts facts;
    facts.globals = readGlobals();
    facts.compositor = desktopName(qEnvironmentVariable("XDG_CURRENT_DESKTOP"), facts.globals);
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return facts;
    facts.busNames = busNames(bus);
    if (facts.busNames.contains(kPortalName))
        facts.portalInterfaces = portalInterfaces(bus, portalTimeoutMs);
    return facts;
}

}  // namespace mirano::wayland
