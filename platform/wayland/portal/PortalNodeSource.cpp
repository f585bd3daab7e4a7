#include "platform/wayland/portal/PortalNodeSource.h"

#include "platform/Log.h"
#include "platform/wayland/portal/RestoreTokenStore.h"
#include "platform/wayland/portal/ScreenCastSession.h"

namespace mirano::wayland {

PortalNodeSource::PortalNodeSource(const QDBusConnection& bus, RestoreTokenStore& tokens,
                                   QString applicationId, Ended ended)
    : bus_(bus),
      tokens_(tokens),
      applicationId_(std::move(applicationId)),
      ended_(std::move(ended)) {}

PortalNodeSource::~PortalNodeSource() = default;

void PortalNodeSource::open(OpenDone done) {
    session_ = std::make_unique<ScreenCastSession>(bus_);
    // The session is ours: its answer cannot outlive this source.
    const bool keep = !applicationId_.isEmpty();
    QObject::connect(session_.get(), &ScreenCastSession::closedByPortal, session_.get(), [this] {
        const Error error{
            QStringLiteral("Wayland capture ended: the desktop closed the screen-cast session.")};
        logLine(error.description);
        if (ended_) ended_(error);
    });
    session_->start(keep ? tokens_.token(applicationId_) : QString(), keep,
                    [this, keep, done = std::move(done)](
                        std::optional<ScreenCastSession::Grant> grant, std::optional<Error> error) {
                        // A token is good for one restore: keep the new one, and forget the
                        // old one once the portal has answered without granting.
                        if (keep && grant)
                            tokens_.setToken(applicationId_, grant->restoreToken);
                        else if (keep && session_->wasRefused())
                            tokens_.setToken(applicationId_, QString());
                        if (!grant) return done(std::nullopt, std::move(error));
                        done(std::move(grant->node), std::nullopt);
                    });
}

}  // namespace mirano::wayland
