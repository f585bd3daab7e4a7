// Gathers the desktop's facts: Wayland globals, $XDG_CURRENT_DESKTOP, bus names, portal.
#include "platform/wayland/DesktopProbe.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
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
/// The screen-cast portal's properties, read only when they have the types the portal
/// documents: a peer's answer is not trusted to be well formed.
std::optional<ScreenCastOffer> screenCastOffer(QDBusConnection& bus, int timeoutMs) {
    QDBusMessage call = QDBusMessage::createMethodCall(
        kPortalName, QStringLiteral("/org/freedesktop/portal/desktop"),
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("GetAll"));
    call << QStringLiteral("org.freedesktop.portal.ScreenCast");
    const QDBusMessage reply = bus.call(call, QDBus::Block, timeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.signature() != QLatin1String("a{sv}"))
        return std::nullopt;
    const QVariantMap properties = qdbus_cast<QVariantMap>(reply.arguments().constFirst());
    const QVariant types = properties.value(QStringLiteral("AvailableSourceTypes"));
    if (types.metaType() != QMetaType::fromType<uint>()) return std::nullopt;
    const QVariant version = properties.value(QStringLiteral("version"));
    return ScreenCastOffer{
        types.toUInt(), version.metaType() == QMetaType::fromType<uint>() ? version.toUInt() : 0};
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
    if (facts.portalInterfaces &&
        facts.portalInterfaces->contains(QStringLiteral("org.freedesktop.portal.ScreenCast")))
        facts.screenCast = screenCastOffer(bus, portalTimeoutMs);
    return facts;
}

}  // namespace mirano::wayland
