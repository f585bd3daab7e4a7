// A picture surface on X11: a child window of the panel, made on Qt's connection, that the
// capture thread draws into.
#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <memory>

#include "platform/PictureSurface.h"

namespace mirano::x11 {

class CaptureThread;

/// The window takes no input (an empty input shape), so the panel keeps every pointer event,
/// enter and leave included. Main thread only; the drawing happens on the capture thread.
class X11PictureSurface final : public PictureSurface {
public:
    /// Check isValid(): the host may not be an X window.
    X11PictureSurface(std::shared_ptr<CaptureThread> thread, std::uint64_t id, QWindow& host);
    /// Ends the drawing and destroys the window.
    ~X11PictureSurface() override;
    X11PictureSurface(const X11PictureSurface&) = delete;
    X11PictureSurface& operator=(const X11PictureSurface&) = delete;

    bool isValid() const { return window_ != XCB_NONE; }
    /// Key of the capture thread's presenter for this surface.
    std::uint64_t id() const { return id_; }
    xcb_window_t window() const { return window_; }

    void setGeometry(const QRect& area) override;
    void setOverlay(const QImage& overlay) override;
    void setOpacity(double opacity) override;
    void setCornerRadius(double radius) override;
    void setVisible(bool visible) override;

private:
    std::shared_ptr<CaptureThread> thread_;
    const std::uint64_t id_;
    QWindow& host_;
    xcb_connection_t* connection_ = nullptr;
    xcb_window_t window_ = XCB_NONE;
};

}  // namespace mirano::x11
