// One session of the desktop's ScreenCast portal: the user's consent to share one window, and
// the PipeWire node that shows it.
#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <functional>
#include <optional>

#include "platform/wayland/portal/NodeSource.h"

namespace mirano::wayland {

/// CreateSession, SelectSources (one window, no pointer, persistent consent where asked), Start
/// and OpenPipeWireRemote, one after the other, each answered on the main thread. Every answer's
/// type is checked before it is read, and each is awaited a bounded time. The session (and a
/// request still pending, such as an open dialog) is closed when this object goes.
class ScreenCastSession : public QObject {
    Q_OBJECT
public:
    /// What a granted session gives.
    struct Grant {
        PipeWireNode node;
        /// Restores this consent without a dialog next time, where the desktop can; empty when
        /// it gave none.
        QString restoreToken;
    };
    using Done = std::function<void(std::optional<Grant> grant, std::optional<Error> error)>;

    explicit ScreenCastSession(const QDBusConnection& bus, QObject* parent = nullptr);
    ~ScreenCastSession() override;

    /// Asks for one window, restoring an earlier consent by `restoreToken` when it is not empty,
    /// and asking the portal to keep the consent only when `persist` (the caller keeps the
    /// token). Completes once, later than the call; a refusal is an error, which the caller
    /// reports (the PiP's start logs it: a line here too would say it twice).
    void start(const QString& restoreToken, bool persist, Done done);

    /// The last start ended because the user or the desktop did not grant it.
    bool wasRefused() const { return refused_; }

    /// The source types and the persistence asked for (the portal's values).
    static constexpr uint kWindowSource = 2;
    static constexpr uint kHiddenCursor = 1;
    static constexpr uint kPersistUntilRevoked = 2;

signals:
    /// The portal closed the granted session: the consent is withdrawn.
    void closedByPortal();

private slots:
    void onClosed();

private:
    void selectSources(const QString& restoreToken, bool persist);
    /// The grant a Start answer's `results` describe, or the reason it is unusable.
    std::optional<Grant> grantOf(const QVariantMap& results, QString* problem) const;
    void startCast();
    void openRemote(Grant grant);
    QDBusMessage call(const QString& method, const QVariantList& arguments) const;
    /// Ends the session with one line; `refused` when the user or the portal said no.
    void fail(const QString& reason, bool refused = false);
    void finish(std::optional<Grant> grant, std::optional<Error> error);

    QDBusConnection bus_;
    QString sessionHandle_;
    Done done_;
    bool refused_ = false;
    bool granted_ = false;
};

}  // namespace mirano::wayland
