// A window's PipeWire node through the ScreenCast portal, restoring the consent given to the
// same application before.
#pragma once

#include <QDBusConnection>
#include <functional>
#include <memory>

#include "platform/wayland/portal/NodeSource.h"

namespace mirano::wayland {

class RestoreTokenStore;
class ScreenCastSession;

/// Opens one portal session, with the token kept for `applicationId`, and keeps the token the
/// portal gives back (or forgets the old one when the portal would not share). A window without
/// an application id keeps no token: it could restore another such window, so its consent is
/// not kept by the portal either. When the portal closes the granted session, that is said in
/// one line and `ended` is told (the node is no longer ours to show).
class PortalNodeSource final : public NodeSource {
public:
    using Ended = std::function<void(Error)>;
    /// `tokens` must outlive the source.
    PortalNodeSource(const QDBusConnection& bus, RestoreTokenStore& tokens, QString applicationId,
                     Ended ended = nullptr);
    ~PortalNodeSource() override;

    void open(OpenDone done) override;

private:
    QDBusConnection bus_;
    RestoreTokenStore& tokens_;
    QString applicationId_;
    Ended ended_;
    std::unique_ptr<ScreenCastSession> session_;
};

}  // namespace mirano::wayland
