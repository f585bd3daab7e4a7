#include "platform/wayland/portal/PortalShortcuts.h"

#include <QDBusArgument>
#include <QDBusMetaType>

#include "platform/Log.h"
#include "platform/wayland/portal/PortalRequest.h"
#include "platform/wayland/portal/PortalTrigger.h"

namespace {
/// One shortcut as the portal takes it, "(sa{sv})": its id and its description and keys.
struct PortalShortcut {
    QString id;
    QVariantMap properties;
};
}  // namespace

Q_DECLARE_METATYPE(PortalShortcut)

QDBusArgument& operator<<(QDBusArgument& a, const PortalShortcut& s) {
    a.beginStructure();
    a << s.id << s.properties;
    a.endStructure();
    return a;
}
const QDBusArgument& operator>>(const QDBusArgument& a, PortalShortcut& s) {
    a.beginStructure();
    a >> s.id >> s.properties;
    a.endStructure();
    return a;
}

namespace mirano::wayland {

namespace {
const QString kGlobalShortcuts = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");

QVariant shortcutList(const PortalShortcuts::Triggers& triggers) {
    qDBusRegisterMetaType<PortalShortcut>();
    qDBusRegisterMetaType<QList<PortalShortcut>>();
    const auto shortcut = [](const QString& id, const QString& description,
                             const QString& trigger) {
        PortalShortcut s{id, {{QStringLiteral("description"), description}}};
        if (!trigger.isEmpty()) s.properties.insert(QStringLiteral("preferred_trigger"), trigger);
        return s;
    };
    return QVariant::fromValue(QList<PortalShortcut>{
        shortcut(PortalShortcuts::kMirrorWindow, QStringLiteral("Mirror the focused window"),
                 triggers.mirrorWindow),
        shortcut(PortalShortcuts::kMirrorRegion,
                 QStringLiteral("Mirror a region of the focused window"), triggers.mirrorRegion),
        shortcut(PortalShortcuts::kHideOrShow, QStringLiteral("Hide or show the PiP"),
                 triggers.hideOrShow),
    });
}
}  // namespace

PortalShortcuts::Triggers PortalShortcuts::preferredTriggers(Modifier modifier,
                                                             const QString& triggerKey) {
    return Triggers{portalTrigger(modifier, triggerKey),
                    portalTrigger(Modifiers(modifier) | Modifier::Shift, triggerKey), QString()};
}

PortalShortcuts::PortalShortcuts(const QDBusConnection& bus, QObject* parent)
    : GlobalShortcuts(parent), bus_(bus) {
    // Before any session exists, so no activation can come unheard.
    bus_.connect(kPortalService, kPortalPath, kGlobalShortcuts, QStringLiteral("Activated"), this,
                 SLOT(onActivated(QDBusMessage)));
}

PortalShortcuts::~PortalShortcuts() {
    bus_.disconnect(kPortalService, kPortalPath, kGlobalShortcuts, QStringLiteral("Activated"),
                    this, SLOT(onActivated(QDBusMessage)));
    closePortalSession(bus_, sessionHandle_);
}

QDBusMessage PortalShortcuts::call(const QString& method, const QVariantList& arguments) const {
    return portalCall(kGlobalShortcuts, method, arguments);
}

void PortalShortcuts::bind(const Triggers& triggers, Completion done) {
    if (offered_ == triggers) {
        if (done) done(std::nullopt);
        return;
    }
    if (offered_) {
        // Portals take a session's shortcuts once: new keys need a new session.
        logLine(QStringLiteral("Global shortcuts: the hotkey changed; offering %1 to the "
                               "desktop again.")
                    .arg(triggers.mirrorWindow.isEmpty() ? QStringLiteral("no keys")
                                                         : triggers.mirrorWindow));
        closePortalSession(bus_, sessionHandle_);
        finish(Error{QStringLiteral("The global shortcuts are bound anew.")});
    }
    offered_ = triggers;
    const int generation = ++generation_;
    done_ = std::move(done);
    // Known before the portal answers, so the session is closed even if we go first.
    sessionHandle_ = expectedSessionHandle(bus_, kSessionToken);
    const QVariant shortcuts = shortcutList(triggers);
    // Plasma 5.27 takes the shortcuts with the session and only opens its settings on
    // BindShortcuts; later portals take them from BindShortcuts. Both get them.
    const QVariantMap options{{QStringLiteral("session_handle_token"), kSessionToken},
                              {QStringLiteral("shortcuts"), shortcuts}};
    PortalRequest::send(
        bus_, call(QStringLiteral("CreateSession"), {options}), this, PortalRequest::kCallTimeoutMs,
        [this, shortcuts, generation](uint response, const QVariantMap& results,
                                      std::optional<Error> error) {
            if (generation != generation_) return;
            if (error) return fail(QStringLiteral("no portal (%1)").arg(error->description));
            if (response != 0)
                return fail(
                    QStringLiteral("the portal refused a session (response %1)").arg(response));
            sessionHandle_ = sessionHandleOf(results);
            bindShortcuts(shortcuts, generation);
        });
}

void PortalShortcuts::bind(Modifier modifier, const QString& triggerKey, Completion done) {
    bind(preferredTriggers(modifier, triggerKey), std::move(done));
}

void PortalShortcuts::bindShortcuts(const QVariant& shortcuts, int generation) {
    PortalRequest::send(
        bus_,
        call(QStringLiteral("BindShortcuts"), {QVariant::fromValue(QDBusObjectPath(sessionHandle_)),
                                               shortcuts, QString(), QVariantMap()}),
        // Binding may ask the user which keys to use.
        this, PortalRequest::dialogTimeoutMs(),
        [this, generation](uint response, const QVariantMap&, std::optional<Error> error) {
            if (generation != generation_) return;
            if (error) return fail(QStringLiteral("binding failed (%1)").arg(error->description));
            if (response != 0)
                return fail(
                    response == 1
                        ? QStringLiteral("the user declined them")
                        : QStringLiteral("the portal refused them (response %1)").arg(response));
            logLine(
                QStringLiteral("Global shortcuts: bound by the portal; the desktop's settings "
                               "change their keys."));
            finish(std::nullopt);
        });
}

void PortalShortcuts::onActivated(const QDBusMessage& message) {
    // (o session_handle, s shortcut_id, t timestamp, a{sv} options)
    const QVariantList arguments = message.arguments();
    if (arguments.size() < 2 || arguments[0].value<QDBusObjectPath>().path() != sessionHandle_)
        return;
    const QString shortcut = arguments[1].toString();
    if (shortcut == kMirrorWindow)
        emit mirrorWindowActivated();
    else if (shortcut == kMirrorRegion)
        emit mirrorRegionActivated();
    else if (shortcut == kHideOrShow)
        emit hideOrShowActivated();
}

void PortalShortcuts::fail(const QString& reason) {
    logLine(QStringLiteral("Global shortcuts: %1; bind a key to `mirano --toggle` instead.")
                .arg(reason));
    finish(Error{QStringLiteral("The global shortcuts are not bound: %1.").arg(reason)});
}

void PortalShortcuts::finish(std::optional<Error> error) {
    if (auto done = std::exchange(done_, nullptr)) done(std::move(error));
}

}  // namespace mirano::wayland
