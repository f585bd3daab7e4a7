#include "platform/x11/X11PictureSurface.h"

#include <xcb/shape.h>

#include <QGuiApplication>
#include <QWindow>

#include "platform/x11/CaptureThread.h"
#include "platform/x11/SurfacePresenter.h"
#include "platform/x11/XConnection.h"

namespace mirano::x11 {

X11PictureSurface::X11PictureSurface(std::shared_ptr<CaptureThread> thread, std::uint64_t id,
                                     QWindow& host)
    : thread_(std::move(thread)), id_(id), host_(host) {
    auto* x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->connection()) return;
    connection_ = x11->connection();
    const auto parent = static_cast<xcb_window_t>(host.winId());
    auto attributes = reply(xcb_get_window_attributes_reply(
        connection_, xcb_get_window_attributes(connection_, parent), nullptr));
    auto geometry =
        reply(xcb_get_geometry_reply(connection_, xcb_get_geometry(connection_, parent), nullptr));
    if (!attributes || !geometry) return;
    const xcb_window_t window = xcb_generate_id(connection_);
    // The host's visual: a translucent panel gets a picture with transparent corners. No
    // background, so an exposure never flashes a colour before the picture is put back.
    const std::uint32_t values[] = {XCB_BACK_PIXMAP_NONE, 0, attributes->colormap};
    auto error = reply(xcb_request_check(
        connection_, xcb_create_window_checked(
                         connection_, geometry->depth, window, parent, 0, 0,
                         std::max<std::uint16_t>(geometry->width, 1),
                         std::max<std::uint16_t>(geometry->height, 1), 0,
                         XCB_WINDOW_CLASS_INPUT_OUTPUT, attributes->visual,
                         XCB_CW_BACK_PIXMAP | XCB_CW_BORDER_PIXEL | XCB_CW_COLORMAP, values)));
    if (error) return;
    window_ = window;
    // No input region: the pointer is never inside this window, only inside the panel.
    xcb_shape_rectangles(connection_, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_INPUT,
                         XCB_CLIP_ORDERING_UNSORTED, window_, 0, 0, 0, nullptr);
    xcb_flush(connection_);
    thread_->post([id, window](CaptureThread& t) {
        t.addPresenter(id, std::make_shared<SurfacePresenter>(t.context(), window));
    });
}

X11PictureSurface::~X11PictureSurface() {
    if (!isValid()) return;
    const std::uint64_t id = id_;
    thread_->post([id](CaptureThread& t) { t.removePresenter(id); });
    xcb_destroy_window(connection_, window_);
    xcb_flush(connection_);
}

void X11PictureSurface::setGeometry(const QRect& area) {
    if (!isValid()) return;
    const qreal ratio = host_.devicePixelRatio();
    const QRect device(QPoint(qRound(area.x() * ratio), qRound(area.y() * ratio)),
                       QSize(qRound(area.width() * ratio), qRound(area.height() * ratio)));
    const std::uint32_t values[] = {std::uint32_t(device.x()), std::uint32_t(device.y()),
                                    std::uint32_t(std::max(device.width(), 1)),
                                    std::uint32_t(std::max(device.height(), 1))};
    xcb_configure_window(connection_, window_,
                         XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y | XCB_CONFIG_WINDOW_WIDTH |
                             XCB_CONFIG_WINDOW_HEIGHT,
                         values);
    xcb_flush(connection_);
    const std::uint64_t id = id_;
    thread_->post([id, size = device.size()](CaptureThread& t) {
        if (auto p = t.presenter(id)) p->setSize(size.width(), size.height());
    });
}

void X11PictureSurface::setOverlay(const QImage& overlay) {
    if (!isValid()) return;
    const std::uint64_t id = id_;
    thread_->post([id, overlay](CaptureThread& t) {
        if (auto p = t.presenter(id)) p->setOverlay(overlay);
    });
}

void X11PictureSurface::setOpacity(double opacity) {
    if (!isValid()) return;
    const std::uint64_t id = id_;
    thread_->post([id, opacity](CaptureThread& t) {
        if (auto p = t.presenter(id)) p->setOpacity(opacity);
    });
}

void X11PictureSurface::setCornerRadius(double radius) {
    if (!isValid()) return;
    const std::uint64_t id = id_;
    const double device = radius * host_.devicePixelRatio();
    thread_->post([id, device](CaptureThread& t) {
        if (auto p = t.presenter(id)) p->setCornerRadius(device);
    });
}

void X11PictureSurface::setVisible(bool visible) {
    if (!isValid()) return;
    if (visible)
        xcb_map_window(connection_, window_);
    else
        xcb_unmap_window(connection_, window_);
    xcb_flush(connection_);
}

}  // namespace mirano::x11
