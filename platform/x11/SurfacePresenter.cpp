#include "platform/x11/SurfacePresenter.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

#include "platform/AspectFit.h"
#include "platform/x11/RenderPicture.h"

namespace mirano::x11 {

SurfacePresenter::SurfacePresenter(CaptureContext& context, xcb_window_t window)
    : context_(context), connection_(context.connection->get()), window_(window) {
    auto attributes = reply(xcb_get_window_attributes_reply(
        connection_, xcb_get_window_attributes(connection_, window_), nullptr));
    if (!attributes) return;
    const xcb_render_pictformat_t format = context_.formats.forVisual(attributes->visual);
    if (!format) return;
    translucent_ = context_.formats.depth(format) == 32;
    windowPicture_ = createPicture(connection_, window_, format);
    // Our own event mask on the window: the main thread's connection selects nothing there.
    const std::uint32_t mask = XCB_EVENT_MASK_EXPOSURE;
    xcb_change_window_attributes(connection_, window_, XCB_CW_EVENT_MASK, &mask);
}

SurfacePresenter::~SurfacePresenter() = default;

SurfacePresenter::Buffer SurfacePresenter::makeBuffer(int width, int height, std::uint8_t depth,
                                                      xcb_render_pictformat_t format) {
    Buffer b;
    b.pixmap = createPixmap(connection_, context_.connection->root(), depth, width, height);
    b.picture = createPicture(connection_, b.pixmap.get(), format, true);
    b.width = width;
    b.height = height;
    return b;
}

void SurfacePresenter::upload(const Buffer& buffer, const QImage& image, std::uint8_t depth) {
    const xcb_gcontext_t gc = xcb_generate_id(connection_);
    xcb_create_gc(connection_, gc, buffer.pixmap.get(), 0, nullptr);
    // One request may carry only so many bytes: send bands of rows.
    const std::size_t maxBytes = std::size_t(xcb_get_maximum_request_length(connection_)) * 4 - 64;
    const std::size_t stride = std::size_t(image.bytesPerLine());
    const int rowsPerBand = std::max(1, int(maxBytes / std::max<std::size_t>(stride, 1)));
    for (int y = 0; y < image.height(); y += rowsPerBand) {
        const int rows = std::min(rowsPerBand, image.height() - y);
        xcb_put_image(connection_, XCB_IMAGE_FORMAT_Z_PIXMAP, buffer.pixmap.get(), gc,
                      std::uint16_t(image.width()), std::uint16_t(rows), 0, std::int16_t(y), 0,
                      depth, std::uint32_t(stride * rows), image.constScanLine(y));
    }
    xcb_free_gc(connection_, gc);
}

void SurfacePresenter::setSize(int width, int height) {
    width = std::clamp(width, 0, 8192);
    height = std::clamp(height, 0, 8192);
    if (width == width_ && height == height_) return;
    width_ = width;
    height_ = height;
    back_ = {};
    mask_ = {};
    if (width_ == 0 || height_ == 0 || !windowPicture_) {
        frame_ = {};
        return;
    }
    Buffer next = makeBuffer(width_, height_, 32, context_.formats.argb32());
    fillBlack(connection_, next.picture.get(), QRect(0, 0, width_, height_));
    if (frame_.picture) {
        // Until the next frame: the last picture filling the new size, as a view shows a frame.
        const QRectF last = placeAspect(QRectF(0, 0, frame_.width, frame_.height),
                                        QSizeF(width_, height_), AspectMode::fill)
                                .source;
        setSampling(connection_, frame_.picture.get(), last.width() / width_,
                    last.height() / height_, last.x(), last.y());
        xcb_render_composite(connection_, XCB_RENDER_PICT_OP_SRC, frame_.picture.get(), XCB_NONE,
                             next.picture.get(), 0, 0, 0, 0, 0, 0, std::uint16_t(width_),
                             std::uint16_t(height_));
    }
    frame_ = std::move(next);
    rebuildMask();
    applyCorners(QRect(0, 0, width_, height_));
    wantsFrame_ = true;
    present();
}

void SurfacePresenter::setOverlay(const QImage& overlay) {
    overlay_ = {};
    if (!overlay.isNull() && windowPicture_) {
        const QImage image = overlay.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        overlay_ = makeBuffer(image.width(), image.height(), 32, context_.formats.argb32());
        upload(overlay_, image, 32);
    }
    present();
}

void SurfacePresenter::setOpacity(double opacity) {
    opacity_ = std::clamp(opacity, 0.0, 1.0);
    opacityPicture_.reset();
    if (opacity_ < 1.0 && windowPicture_) {
        opacityPicture_ = createSolidPicture(
            connection_, {0, 0, 0, std::uint16_t(std::lround(opacity_ * 0xffff))});
    }
    present();
}

void SurfacePresenter::setCornerRadius(double radius) {
    cornerRadius_ = std::max(0.0, radius);
    rebuildMask();
    // Corners cut with another radius: the next frame is drawn whole.
    wantsFrame_ = true;
    present();
}

void SurfacePresenter::rebuildMask() {
    mask_ = {};
    // Only a window with alpha can show transparent corners; others are cut by a shape.
    if (!translucent_ || cornerRadius_ <= 0 || width_ == 0 || height_ == 0) return;
    QImage image(width_, height_, QImage::Format_Alpha8);
    image.fill(0);
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        QPainterPath path;
        path.addRoundedRect(QRectF(0, 0, width_, height_), cornerRadius_, cornerRadius_);
        p.fillPath(path, Qt::black);
    }
    mask_ = makeBuffer(width_, height_, 8, context_.formats.a8());
    upload(mask_, image, 8);
}

QRect SurfacePresenter::affected(const QRectF& changed, double sx, double sy, double dx, double dy,
                                 int width, int height) {
    // Destination pixel i samples around sx * (i + 0.5) + dx, one source pixel either side.
    const int left = int(std::floor((changed.left() - dx - 1) / sx - 0.5)) - 1;
    const int top = int(std::floor((changed.top() - dy - 1) / sy - 0.5)) - 1;
    const int right = int(std::ceil((changed.right() - dx + 1) / sx - 0.5)) + 1;
    const int bottom = int(std::ceil((changed.bottom() - dy + 1) / sy - 0.5)) + 1;
    return QRect(QPoint(left, top), QPoint(right, bottom)).intersected(QRect(0, 0, width, height));
}

void SurfacePresenter::applyCorners(const QRect& drawn) {
    if (!mask_.picture || !frame_.picture) return;
    // The picture itself carries the transparent corners, so presenting it is a plain copy.
    const int r = std::min({int(std::ceil(cornerRadius_)), width_ / 2, height_ / 2});
    for (const QPoint corner : {QPoint(0, 0), QPoint(width_ - r, 0), QPoint(0, height_ - r),
                                QPoint(width_ - r, height_ - r)}) {
        const QRect square = QRect(corner, QSize(r, r)).intersected(drawn);
        if (square.isEmpty()) continue;
        xcb_render_composite(connection_, XCB_RENDER_PICT_OP_IN_REVERSE, mask_.picture.get(),
                             XCB_NONE, frame_.picture.get(), std::int16_t(square.x()),
                             std::int16_t(square.y()), 0, 0, std::int16_t(square.x()),
                             std::int16_t(square.y()), std::uint16_t(square.width()),
                             std::uint16_t(square.height()));
    }
}

void SurfacePresenter::drawFrame(xcb_render_picture_t source, xcb_render_pictformat_t format,
                                 const QRectF& sourceRect, const QSize& frameSize,
                                 const std::optional<QRect>& changed) {
    // The picture a view shows of the stream's frames, bars and cut included.
    const AspectPlacement placed =
        placeThroughFrame(sourceRect, QSizeF(frameSize), QSizeF(width_, height_));
    if (!frame_.picture || placed.source.isEmpty()) return;
    // Only what changed is scaled again; the steps keep the rest from earlier frames.
    bool whole = wantsFrame_ || !changed || placed != lastPlacement_ || format != lastFormat_;
    wantsFrame_ = false;
    lastPlacement_ = placed;
    lastFormat_ = format;
    QRectF dirty = changed ? QRectF(*changed) : placed.source;
    const QRect target = placed.target.toRect();
    const int x = target.x(), y = target.y();
    const int w = std::max(target.width(), 1), h = std::max(target.height(), 1);
    if (whole && QRect(x, y, w, h) != QRect(0, 0, width_, height_))
        fillBlack(connection_, frame_.picture.get(), QRect(0, 0, width_, height_));
    // Area averaging, all in the server's fast bilinear paths. Halve exactly (each pixel the
    // mean of 2 x 2) while more than 4 times too large; from 2 to 4 times, take 2 x 2 bilinear
    // samples per pixel, one at the middle of each quarter of the area it covers, then halve
    // (exact at 2 and 4 times, near at 3); below 2, one bilinear sample averages what it covers.
    // (Halving further and ending with one bilinear sample at 1.5 times blurs thin strokes.)
    xcb_render_picture_t from = source;
    QRectF rect = placed.source;
    // The steps keep the source's own format: the server's fast paths cover same-format copies.
    const std::uint8_t depth = context_.formats.depth(format) == 24 ? 24 : 32;
    const xcb_render_pictformat_t stepFormat = depth == 24 ? format : context_.formats.argb32();
    // One scaling step into `to` at (ox, oy), limited to what the changed area reaches.
    const auto step = [&](xcb_render_picture_t to, int ox, int oy, int tw, int th, double sx,
                          double sy) {
        const QRect area =
            whole ? QRect(0, 0, tw, th) : affected(dirty, sx, sy, rect.x(), rect.y(), tw, th);
        dirty = area;
        if (area.isEmpty()) return;
        setSampling(connection_, from, sx, sy, rect.x(), rect.y());
        xcb_render_composite(connection_, XCB_RENDER_PICT_OP_SRC, from, XCB_NONE, to,
                             std::int16_t(area.x()), std::int16_t(area.y()), 0, 0,
                             std::int16_t(ox + area.x()), std::int16_t(oy + area.y()),
                             std::uint16_t(area.width()), std::uint16_t(area.height()));
    };
    const auto halve = [&](std::size_t level, int hw, int hh, double scaleX, double scaleY) {
        Buffer& half = halves_[level];
        if (half.width != hw || half.height != hh || half.format != stepFormat) {
            half = makeBuffer(hw, hh, depth, stepFormat);
            half.format = stepFormat;
            whole = true;
        }
        step(half.picture.get(), 0, 0, hw, hh, scaleX, scaleY);
        from = half.picture.get();
    };
    std::size_t level = 0;
    const auto ratio = [&] { return std::min(rect.width() / w, rect.height() / h); };
    for (; level + 1 < kMaxHalvings && ratio() > 4.0; ++level) {
        halve(level, int(std::ceil(rect.width() / 2)), int(std::ceil(rect.height() / 2)), 2.0, 2.0);
        rect = QRectF(0, 0, rect.width() / 2, rect.height() / 2);
    }
    if (std::max(rect.width() / w, rect.height() / h) >= 2.0) {
        halve(level, 2 * w, 2 * h, rect.width() / (2 * w), rect.height() / (2 * h));
        rect = QRectF(0, 0, 2 * w, 2 * h);
    }
    step(frame_.picture.get(), x, y, w, h, rect.width() / w, rect.height() / h);
    // The last step's area is what changed in the picture (all of it with the bars).
    applyCorners(whole ? QRect(0, 0, width_, height_) : dirty.toRect().translated(x, y));
}

void SurfacePresenter::present() {
    if (!windowPicture_ || !frame_.picture) return;
    const auto W = std::uint16_t(width_), H = std::uint16_t(height_);
    const std::uint32_t dim = opacityPicture_ && !translucent_ ? opacityPicture_.get() : XCB_NONE;
    if (!overlay_.picture && !dim) {
        xcb_render_composite(connection_, XCB_RENDER_PICT_OP_SRC, frame_.picture.get(), XCB_NONE,
                             windowPicture_.get(), 0, 0, 0, 0, 0, 0, W, H);
        xcb_flush(connection_);
        return;
    }
    // Combined off screen, so the window never shows a picture without its overlay.
    if (!back_.picture) back_ = makeBuffer(width_, height_, 32, context_.formats.argb32());
    const xcb_render_picture_t back = back_.picture.get();
    // Dimmed, the picture's colours are scaled as over black (the window has no alpha).
    xcb_render_composite(connection_, XCB_RENDER_PICT_OP_SRC, frame_.picture.get(), dim, back, 0, 0,
                         0, 0, 0, 0, W, H);
    if (overlay_.picture)
        xcb_render_composite(connection_, XCB_RENDER_PICT_OP_OVER, overlay_.picture.get(), dim,
                             back, 0, 0, 0, 0, 0, 0, std::uint16_t(overlay_.width),
                             std::uint16_t(overlay_.height));
    xcb_render_composite(connection_, XCB_RENDER_PICT_OP_SRC, back, XCB_NONE, windowPicture_.get(),
                         0, 0, 0, 0, 0, 0, W, H);
    xcb_flush(connection_);
}

void SurfacePresenter::handleEvent(const xcb_generic_event_t* event) {
    if ((event->response_type & 0x7f) != XCB_EXPOSE) return;
    const auto* e = reinterpret_cast<const xcb_expose_event_t*>(event);
    if (e->window == window_ && e->count == 0) present();
}

}  // namespace mirano::x11
