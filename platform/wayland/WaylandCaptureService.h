// Window capture on Wayland: the toplevels as the capturable windows, and a stream of one through
// the desktop's ScreenCast portal.
#pragma once

#include <QList>
#include <functional>
#include <memory>

#include "platform/CaptureService.h"
#include "platform/Windows.h"
#include "platform/wayland/portal/RestoreTokenStore.h"

namespace mirano {
class Scheduler;
}

namespace mirano::wayland {

/// The windows are those the windows service lists (so the numbers agree), without geometry:
/// Wayland tells a client none. A stream asks the portal for the
/// window, restoring the consent kept for the window's application id; the desktop's dialog (or
/// its restore) picks the window, not Mirano. Pictures come at the window's own size and are
/// scaled by the compositor on a subsurface of the panel (by the panel's painter where it
/// cannot). Main thread only; outlives its streams' start.
class WaylandCaptureService final : public CaptureService {
public:
    /// Listed windows come from `listed`, asked on each call. Completions go through `scheduler`.
    using WindowList = std::function<QList<SourceWindow>()>;
    WaylandCaptureService(Scheduler& scheduler, WindowList listed,
                          const QString& tokenPath = RestoreTokenStore::defaultPath());
    ~WaylandCaptureService() override;

    void listWindows(WindowListHandler done) override;
    std::shared_ptr<CaptureStream> makeStream(const CapturableWindow& window,
                                              const StreamConfiguration& configuration,
                                              FrameHandler onFrame,
                                              StreamStopHandler onStop) override;
    /// A subsurface of `host`, or null where the compositor cannot scale (said once).
    std::shared_ptr<PictureSurface> makePictureSurface(QWindow& host) override;
    /// Drops the application's restore token: a wrong pick in the dialog is not kept for ever.
    void forgetConsent(const QString& applicationId) override;

private:
    Scheduler& scheduler_;
    WindowList listed_;
    RestoreTokenStore tokens_;
};

}  // namespace mirano::wayland
