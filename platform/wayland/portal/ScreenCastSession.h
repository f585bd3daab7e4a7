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

/// CreateSession, SelectSources (one window, no pointer, persistent consent), Start and
/// OpenPipeWireRemote, one after the other, each answered on the main thread. The session is
/// closed when this object goes.
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

    /// Asks for one window, restoring an earlier consent by `restoreToken` when it is not empty.
    /// Completes once, later than the call; a refusal is an error, which the caller reports
    /// (the PiP's start logs it: a line here too would say it twice).
    void start(const QString& restoreToken, Done done);

    /// The last start ended because the user or the desktop did not grant it.
    bool wasRefused() const { return refused_; }

    /// The source types and the persistence asked for (the portal's values).
    static constexpr uint kWindowSource = 2;
    static constexpr uint kHiddenCursor = 1;
    static constexpr uint kPersistUntilRevoked = 2;

private:
    void selectSources(const QString& restoreToken);
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
};

}  // namespace mirano::wayland
