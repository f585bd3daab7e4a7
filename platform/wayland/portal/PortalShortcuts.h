// Mirano's global shortcuts through the desktop's GlobalShortcuts portal.
#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QString>
#include <QVariantMap>
#include <optional>

#include "platform/GlobalShortcuts.h"

namespace mirano::wayland {

/// One portal session that binds three shortcuts: mirror the focused window, mirror a region of
/// it, hide or show the PiP. The desktop owns the keys: it offers ours as the preferred ones, and
/// the user may change them in the desktop's settings, where they stay. Each shortcut acts when
/// its keys go down (the portal's Activated); their release (Deactivated) is no gesture of
/// Mirano's. Main thread only; the session is closed when this object goes.
class PortalShortcuts final : public GlobalShortcuts {
    Q_OBJECT
public:
    /// The shortcut ids the portal and the desktop's settings know them by.
    static inline const QString kMirrorWindow = QStringLiteral("mirror-window");
    static inline const QString kMirrorRegion = QStringLiteral("mirror-region");
    static inline const QString kHideOrShow = QStringLiteral("hide-or-show");

    /// The preferred keys of each shortcut, in the portal's syntax; empty means none.
    struct Triggers {
        QString mirrorWindow;
        QString mirrorRegion;
        QString hideOrShow;
        bool operator==(const Triggers&) const = default;
    };
    /// Mirano's combination: `modifier` + `triggerKey` mirrors the window, with Shift a region.
    /// A tap of the modifier alone is no shortcut the portals can bind, so hiding has no
    /// preferred keys: the user picks some in the desktop's settings.
    static Triggers preferredTriggers(Modifier modifier, const QString& triggerKey);

    explicit PortalShortcuts(const QDBusConnection& bus, QObject* parent = nullptr);
    ~PortalShortcuts() override;

    /// CreateSession, then BindShortcuts. Completes once, later than the call; an absent
    /// portal or a refusal is an error and one log line. Called again with other triggers (the
    /// hotkey changed), it closes the session and offers them in a new one, with one line;
    /// the earlier call then completes with an error and its answers are ignored.
    void bind(const Triggers& triggers, Completion done);
    /// The same with preferredTriggers().
    void bind(Modifier modifier, const QString& triggerKey, Completion done) override;

    /// The session's fixed token. KDE Plasma 5.27 names the desktop's record of the shortcuts
    /// after it, so a fixed one finds the keys the user chose in an earlier run.
    static inline const QString kSessionToken = QStringLiteral("mirano");

private slots:
    /// The portal's Activated signal, taken as the whole message: Qt 6.4's D-Bus does not
    /// connect it to a slot with its four arguments by reference.
    void onActivated(const QDBusMessage& message);

private:
    void bindShortcuts(const QVariant& shortcuts, int generation);
    QDBusMessage call(const QString& method, const QVariantList& arguments) const;
    void fail(const QString& reason);
    void finish(std::optional<Error> error);

    QDBusConnection bus_;
    QString sessionHandle_;
    Completion done_;
    /// The triggers last offered; none before the first bind.
    std::optional<Triggers> offered_;
    /// Counts the binds: an answer to an earlier one is stale.
    int generation_ = 0;
};

}  // namespace mirano::wayland
