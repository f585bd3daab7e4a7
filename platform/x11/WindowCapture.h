// The capture of one window for one stream, on the capture thread: a small state machine that
// follows the window (map, unmap, resize, reparent, destroy) and turns damage into frames.
#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>
#include <chrono>
#include <optional>
#include <vector>

#include "platform/CaptureService.h"
#include "platform/x11/CaptureContext.h"
#include "platform/x11/ShmFramePool.h"
#include "platform/x11/SurfacePresenter.h"
#include "platform/x11/XResource.h"

namespace mirano::x11 {

class WindowCapture {
public:
    using Clock = std::chrono::steady_clock;

    enum class State {
        idle,     ///< made, not started
        running,  ///< started; frames flow while the window is viewable and changes
        stopped,  ///< stopped by its stream; may start again
        ended,    ///< the window was destroyed; nothing more happens
    };

    /// Nothing is asked of the server until start().
    WindowCapture(CaptureContext& context, xcb_window_t window,
                  const StreamConfiguration& configuration, FrameHandler onFrame,
                  StreamStopHandler onStop);
    /// Releases everything it holds on the server.
    ~WindowCapture();
    WindowCapture(const WindowCapture&) = delete;
    WindowCapture& operator=(const WindowCapture&) = delete;

    /// Draws every frame through `presenter` on the server instead of handing frames to the
    /// outputs. Before start().
    void setPresenter(std::shared_ptr<SurfacePresenter> presenter);
    /// Redirects the window, watches it and asks for a first frame.
    std::optional<Error> start(Clock::time_point now);
    /// Releases the server resources; no samples after it returns.
    void stop();
    /// Applies a new configuration; the next frame follows it.
    std::optional<Error> update(const StreamConfiguration& configuration);
    /// Looks at an event of the capture connection (events of other windows are ignored).
    void handleEvent(const xcb_generic_event_t* event);
    /// Produces a frame when one is due. Returns when it wants to be called again without an
    /// event, or nothing when only an event can make a frame due.
    std::optional<Clock::time_point> service(Clock::time_point now);

    /// The capture connection broke: ends a running capture with an error.
    void connectionLost();

    State state() const { return state_; }

private:
    bool prepareOutput(QString* error);
    /// The configured frame size, within what the server allows.
    QSize outputSize() const;
    /// Names the window's current pixmap and makes a picture of it; false when the window
    /// cannot be named now (not viewable).
    bool nameWindowPixmap();
    void watchAncestors();
    /// The window redirected and named: under a compositing manager the window's ancestor that
    /// is a child of the root (the window manager's frame), else the window itself.
    xcb_window_t topLevel() const;
    /// After a reparent: redirects the new top-level instead of the old.
    void followTopLevel();
    bool isAncestor(xcb_window_t window) const;
    /// The next frame is due and must be drawn whole.
    void markAllDirty();
    /// Clears the window's damage; returns what changed (pixmap pixels), or nothing for all.
    std::optional<QRect> takeDamage();
    bool captureFrame();
    /// Reads the output into ordinary memory through the connection (no shared memory).
    Frame copyFrame();
    bool presentFrame();
    /// The part of the window shown, in window pixels.
    QRectF sourceRect() const;
    /// Where the source rectangle goes in the output, fitted.
    void fit();
    void applyTransform();
    /// A read failed: the frame is taken again once the window's pixmap is named anew.
    bool retryOnceNamed();
    /// Without RENDER: reads the window's pixels and scales them in this process.
    bool scaleFrameHere();
    void releaseServerResources(bool windowExists);
    void end(const Error& error);

    CaptureContext& context_;
    xcb_connection_t* connection_;
    const xcb_window_t window_;
    StreamConfiguration configuration_;
    FrameHandler onFrame_;
    StreamStopHandler onStop_;
    State state_ = State::idle;

    xcb_window_t redirected_ = XCB_NONE;
    bool throughTopLevel_ = false;
    XResource damage_;
    XResource damageRegion_;  // receives the damage at each frame
    XResource windowPixmap_;
    XResource sourcePicture_;
    xcb_render_pictformat_t sourceFormat_ = 0;
    int windowWidth_ = 0;
    int windowHeight_ = 0;
    /// Where the window's pixels start in the named pixmap, and that pixmap's size.
    QPoint origin_;
    QSize topSize_;
    std::vector<xcb_window_t> ancestors_;

    XResource outputPixmap_;
    XResource outputPicture_;
    int outputWidth_ = 0;
    int outputHeight_ = 0;
    /// Where the fitted picture lies in the output (the rest is bars).
    QPoint fitOffset_;
    QSize fitSize_;
    std::shared_ptr<ShmFramePool> pool_;
    std::shared_ptr<SurfacePresenter> presenter_;

    bool dirty_ = false;
    /// Everything is to be drawn again, whatever the damage says.
    bool allDamaged_ = false;
    bool needsPixmap_ = false;
    bool transformValid_ = false;
    Clock::time_point nextAllowed_{};
};

}  // namespace mirano::x11
