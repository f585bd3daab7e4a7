// The capture thread's side of a picture surface: scales a window's pixels into the panel's
// picture window on the X server, with the overlay over them, so the picture never leaves it.
#pragma once

#include <QImage>
#include <QRectF>
#include <array>
#include <optional>

#include "platform/AspectFit.h"
#include "platform/x11/CaptureContext.h"
#include "platform/x11/XResource.h"

namespace mirano::x11 {

class SurfacePresenter {
public:
    /// Draws into `window` (made by the main thread). Nothing is drawn before setSize().
    SurfacePresenter(CaptureContext& context, xcb_window_t window);
    ~SurfacePresenter();
    SurfacePresenter(const SurfacePresenter&) = delete;
    SurfacePresenter& operator=(const SurfacePresenter&) = delete;

    xcb_window_t window() const { return window_; }
    /// Size in device pixels. The last picture is rescaled until the next frame comes.
    void setSize(int width, int height);
    /// Premultiplied ARGB drawn over every picture; null removes it.
    void setOverlay(const QImage& overlay);
    /// Opacity over black, for windows that cannot be translucent.
    void setOpacity(double opacity);
    /// Rounded corners in device pixels, transparent where the window has alpha.
    void setCornerRadius(double radius);

    /// Scales `sourceRect` (window pixels) of `source` (a picture of `format`) into the
    /// picture as a view shows the stream's frames of `frameSize`: fitted into the frame on
    /// black bars, the frame filling the picture. Downscales average the area each pixel
    /// covers. `changed` (source pixels) limits the work to what changed since the last frame;
    /// without it, or when anything else changed, everything is drawn again.
    void drawFrame(xcb_render_picture_t source, xcb_render_pictformat_t format,
                   const QRectF& sourceRect, const QSize& frameSize,
                   const std::optional<QRect>& changed = std::nullopt);
    /// Puts the picture and the overlay into the window.
    void present();
    /// Repaints what an Expose event of the window uncovered.
    void handleEvent(const xcb_generic_event_t* event);
    /// The size changed since the last frame: the capture should draw one even without damage.
    bool wantsFrame() const { return wantsFrame_; }

private:
    struct Buffer {
        XResource pixmap;
        XResource picture;
        int width = 0;
        int height = 0;
        xcb_render_pictformat_t format = 0;
    };
    /// A pixmap with a picture of `format` (depth 32 or 8).
    Buffer makeBuffer(int width, int height, std::uint8_t depth, xcb_render_pictformat_t format);
    void upload(const Buffer& buffer, const QImage& image, std::uint8_t depth);
    void rebuildMask();
    /// Makes the rounded corners transparent in the picture where `drawn` touches them.
    void applyCorners(const QRect& drawn);
    /// The destination pixels of a scaling step (dst -> src: s * dst + d, bilinear) that
    /// sample the `changed` source area, within width x height.
    static QRect affected(const QRectF& changed, double sx, double sy, double dx, double dy,
                          int width, int height);

    CaptureContext& context_;
    xcb_connection_t* connection_;
    const xcb_window_t window_;
    XResource windowPicture_;
    bool translucent_ = false;
    int width_ = 0;
    int height_ = 0;
    Buffer frame_;  // the scaled picture, bars included
    Buffer back_;   // picture, overlay and opacity combined
    /// Beyond this bilinear sampling skips pixels (thin strokes shimmer): halve first.
    static constexpr std::size_t kMaxHalvings = 5;
    std::array<Buffer, kMaxHalvings> halves_;  // the steps of a large downscale
    Buffer overlay_;
    Buffer mask_;  // rounded corners
    XResource opacityPicture_;
    double opacity_ = 1.0;
    double cornerRadius_ = 0;
    bool wantsFrame_ = false;
    AspectPlacement lastPlacement_;
    xcb_render_pictformat_t lastFormat_ = 0;
};

}  // namespace mirano::x11
