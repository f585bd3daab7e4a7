#include "platform/x11/WindowCapture.h"

#include <xcb/composite.h>
#include <xcb/damage.h>
#include <xcb/xfixes.h>

#include <QImage>
#include <QPainter>
#include <algorithm>

#include "platform/AspectFit.h"
#include "platform/HeapFrameBuffer.h"
#include "platform/Log.h"
#include "platform/x11/CompositingManager.h"
#include "platform/x11/RenderPicture.h"

namespace mirano::x11 {

namespace {

// X pixmaps are limited to 16 bits per side; shared memory should stay reasonable too.
constexpr int kMaxOutputSide = 8192;
// Frames the view and the main queue may hold at once before capture waits for one to return.
constexpr int kPoolBuffers = 6;
// Timer slack: a frame this early counts as due.
constexpr auto kSlack = std::chrono::microseconds(500);
// How soon to look again when every buffer is still in use.
constexpr auto kPoolRetry = std::chrono::milliseconds(4);

Error captureError(const QString& text) { return Error{text}; }

// Shared memory that cannot be attached fails the same way for every frame: say it once.
LogOnce& shmFailureLog() {
    static LogOnce log;
    return log;
}

void destroyDamage(xcb_connection_t* c, std::uint32_t id) { xcb_damage_destroy(c, id); }
void destroyRegion(xcb_connection_t* c, std::uint32_t id) { xcb_xfixes_destroy_region(c, id); }

}  // namespace

WindowCapture::WindowCapture(CaptureContext& context, xcb_window_t window,
                             const StreamConfiguration& configuration, FrameHandler onFrame,
                             StreamStopHandler onStop)
    : context_(context),
      connection_(context.connection->get()),
      window_(window),
      configuration_(configuration),
      onFrame_(std::move(onFrame)),
      onStop_(std::move(onStop)) {}

WindowCapture::~WindowCapture() { releaseServerResources(state_ != State::ended); }

void WindowCapture::setPresenter(std::shared_ptr<SurfacePresenter> presenter) {
    presenter_ = std::move(presenter);
}

std::optional<Error> WindowCapture::start(Clock::time_point now) {
    if (state_ == State::running) return std::nullopt;
    if (state_ == State::ended)
        return captureError(QStringLiteral("The captured window was closed."));
    auto attributesCookie = xcb_get_window_attributes(connection_, window_);
    auto geometryCookie = xcb_get_geometry(connection_, window_);
    auto attributes =
        reply(xcb_get_window_attributes_reply(connection_, attributesCookie, nullptr));
    auto geometry = reply(xcb_get_geometry_reply(connection_, geometryCookie, nullptr));
    if (!attributes || !geometry)
        return captureError(QStringLiteral("The window to capture no longer exists."));
    if (attributes->_class == XCB_WINDOW_CLASS_INPUT_ONLY)
        return captureError(QStringLiteral("The window has no pixels to capture."));
    if (context_.hasRender && !context_.formats.forVisual(attributes->visual))
        return captureError(QStringLiteral("The window's pixel format is not supported."));
    windowWidth_ = geometry->width;
    windowHeight_ = geometry->height;

    const std::uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    xcb_change_window_attributes(connection_, window_, XCB_CW_EVENT_MASK, &mask);
    watchAncestors();
    // Under a compositing manager the top-level is redirected anyway: naming its pixmap adds no
    // copy of the window. Without one, redirecting the window itself costs the server less.
    XConnection& x = *context_.connection;
    throughTopLevel_ = compositingManagerRuns(connection_, x.atoms(), x.screenNumber());
    auto redirectError = reply(xcb_request_check(
        connection_, xcb_composite_redirect_window_checked(connection_, topLevel(),
                                                           XCB_COMPOSITE_REDIRECT_AUTOMATIC)));
    if (redirectError) {
        ancestors_.clear();
        return captureError(QStringLiteral("The window cannot be redirected (X error %1).")
                                .arg(redirectError->error_code));
    }
    redirected_ = topLevel();
    const xcb_damage_damage_t damage = xcb_generate_id(connection_);
    xcb_damage_create(connection_, damage, window_, XCB_DAMAGE_REPORT_LEVEL_NON_EMPTY);
    damage_ = XResource(connection_, damage, destroyDamage);
    if (context_.hasRegions) {
        const xcb_xfixes_region_t region = xcb_generate_id(connection_);
        xcb_xfixes_create_region(connection_, region, 0, nullptr);
        damageRegion_ = XResource(connection_, region, destroyRegion);
    }

    QString error;
    if (!prepareOutput(&error)) {
        releaseServerResources(true);
        return captureError(error);
    }
    state_ = State::running;
    // Named at the first chance: the window may have become viewable since we asked, before
    // we listened for its map.
    needsPixmap_ = true;
    markAllDirty();
    nextAllowed_ = now;
    return std::nullopt;
}

void WindowCapture::stop() {
    if (state_ != State::running) return;
    releaseServerResources(true);
    state_ = State::stopped;
}

std::optional<Error> WindowCapture::update(const StreamConfiguration& configuration) {
    if (state_ == State::ended)
        return captureError(QStringLiteral("The captured window was closed."));
    const StreamConfiguration previous = configuration_;
    configuration_ = configuration;
    if (state_ == State::running) {
        QString error;
        if (!prepareOutput(&error)) {
            configuration_ = previous;
            prepareOutput(nullptr);
            return captureError(error);
        }
        transformValid_ = false;
        // The picture changes even when the window does not.
        markAllDirty();
    }
    return std::nullopt;
}

bool WindowCapture::prepareOutput(QString* error) {
    if (presenter_) {
        // The presenter scales straight to the panel's size: no output of our own.
        outputPicture_.reset();
        outputPixmap_.reset();
        pool_.reset();
        return true;
    }
    const int width = outputSize().width();
    const int height = outputSize().height();
    if (outputPicture_ && width == outputWidth_ && height == outputHeight_) return true;
    outputPicture_.reset();
    outputPixmap_.reset();
    pool_.reset();
    outputWidth_ = width;
    outputHeight_ = height;
    if (!context_.hasRender) return true;  // scaled here, from the window's pixels
    const xcb_pixmap_t pixmap = xcb_generate_id(connection_);
    auto pixmapError = reply(xcb_request_check(
        connection_, xcb_create_pixmap_checked(connection_, 32, pixmap, context_.connection->root(),
                                               std::uint16_t(width), std::uint16_t(height))));
    if (pixmapError) {
        if (error)
            *error = QStringLiteral("Could not make a %1 x %2 frame.").arg(width).arg(height);
        return false;
    }
    outputPixmap_ = ownPixmap(connection_, pixmap);
    outputPicture_ = createPicture(connection_, pixmap, context_.formats.argb32());
    if (context_.hasShm)
        pool_ = ShmFramePool::create(context_.connection, width, height, kPoolBuffers);
    return true;
}

QSize WindowCapture::outputSize() const {
    return QSize(int(std::clamp<std::int64_t>(configuration_.width, 1, kMaxOutputSide)),
                 int(std::clamp<std::int64_t>(configuration_.height, 1, kMaxOutputSide)));
}

bool WindowCapture::nameWindowPixmap() {
    sourcePicture_.reset();
    windowPixmap_.reset();
    transformValid_ = false;
    // The pixmap holds the window's pixels wherever it is on screen or covered.
    const xcb_window_t top = topLevel();
    const xcb_pixmap_t pixmap = xcb_generate_id(connection_);
    auto nameCookie = xcb_composite_name_window_pixmap_checked(connection_, top, pixmap);
    auto attributesCookie = xcb_get_window_attributes(connection_, top);
    auto topCookie = xcb_get_geometry(connection_, top);
    auto geometryCookie = xcb_get_geometry(connection_, window_);
    auto originCookie = xcb_translate_coordinates(connection_, window_, top, 0, 0);
    auto nameError = reply(xcb_request_check(connection_, nameCookie));
    auto attributes =
        reply(xcb_get_window_attributes_reply(connection_, attributesCookie, nullptr));
    auto topGeometry = reply(xcb_get_geometry_reply(connection_, topCookie, nullptr));
    auto geometry = reply(xcb_get_geometry_reply(connection_, geometryCookie, nullptr));
    auto origin = reply(xcb_translate_coordinates_reply(connection_, originCookie, nullptr));
    if (nameError) return false;  // not viewable now; a map or damage brings us back
    XResource named = ownPixmap(connection_, pixmap);
    if (!attributes || !topGeometry || !geometry || !origin) return false;
    // The pixmap starts at the outer edge of the top-level's border.
    origin_ = QPoint(origin->dst_x + topGeometry->border_width,
                     origin->dst_y + topGeometry->border_width);
    topSize_ = QSize(topGeometry->width, topGeometry->height);
    windowWidth_ = geometry->width;
    windowHeight_ = geometry->height;
    if (context_.hasRender) {
        sourceFormat_ = context_.formats.forVisual(attributes->visual);
        if (!sourceFormat_) return false;
    }
    windowPixmap_ = std::move(named);
    if (!context_.hasRender) return true;  // read whole and scaled here
    // Padded: bilinear sampling at the border never blends with transparent black.
    sourcePicture_ = createPicture(connection_, pixmap, sourceFormat_, true);
    return true;
}

xcb_window_t WindowCapture::topLevel() const {
    if (!throughTopLevel_) return window_;
    return ancestors_.empty() ? window_ : ancestors_.back();
}

void WindowCapture::followTopLevel() {
    const xcb_window_t before = topLevel();
    watchAncestors();
    if (topLevel() == before || redirected_ == XCB_NONE) return;
    // A new frame (window manager restart, reparenting): the old one may be gone already.
    xcb_composite_unredirect_window(connection_, redirected_, XCB_COMPOSITE_REDIRECT_AUTOMATIC);
    xcb_composite_redirect_window(connection_, topLevel(), XCB_COMPOSITE_REDIRECT_AUTOMATIC);
    redirected_ = topLevel();
}

std::optional<QRect> WindowCapture::takeDamage() {
    const bool all = allDamaged_ || !damageRegion_;
    allDamaged_ = false;
    if (all) {
        xcb_damage_subtract(connection_, damage_.get(), XCB_NONE, XCB_NONE);
        return std::nullopt;
    }
    xcb_damage_subtract(connection_, damage_.get(), XCB_NONE, damageRegion_.get());
    auto region = reply(xcb_xfixes_fetch_region_reply(
        connection_, xcb_xfixes_fetch_region(connection_, damageRegion_.get()), nullptr));
    if (!region) return std::nullopt;
    const xcb_rectangle_t& e = region->extents;
    return QRect(e.x, e.y, e.width, e.height).translated(origin_);
}

void WindowCapture::markAllDirty() {
    dirty_ = true;
    allDamaged_ = true;
}

QRectF WindowCapture::sourceRect() const {
    QRectF source = configuration_.sourceRect;
    if (source.width() <= 0 || source.height() <= 0)
        source = QRectF(0, 0, windowWidth_, windowHeight_);
    return source.translated(origin_);
}

void WindowCapture::fit() {
    // A stream's frames show the whole source, its aspect kept: a window resized since the
    // output size was chosen shows on bars, never stretched or cut.
    const QRect target =
        placeAspect(sourceRect(), QSizeF(outputWidth_, outputHeight_), AspectMode::fit)
            .target.toRect();
    fitSize_ = target.size().expandedTo(QSize(1, 1));
    fitOffset_ = target.topLeft();
}

void WindowCapture::applyTransform() {
    fit();
    const QRectF source = sourceRect();
    const double sx = source.width() / fitSize_.width();
    const double sy = source.height() / fitSize_.height();
    // Maps output pixels to window pixels.
    setSampling(connection_, sourcePicture_.get(), sx, sy, source.x(), source.y());
    transformValid_ = true;
}

void WindowCapture::watchAncestors() {
    ancestors_.clear();
    const xcb_window_t root = context_.connection->root();
    xcb_window_t current = window_;
    // Map and unmap of any ancestor changes whether the window can be named.
    for (int depth = 0; depth < 32; ++depth) {
        auto tree =
            reply(xcb_query_tree_reply(connection_, xcb_query_tree(connection_, current), nullptr));
        if (!tree || tree->parent == XCB_NONE || tree->parent == root) break;
        current = tree->parent;
        ancestors_.push_back(current);
        const std::uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
        xcb_change_window_attributes(connection_, current, XCB_CW_EVENT_MASK, &mask);
    }
}

bool WindowCapture::isAncestor(xcb_window_t window) const {
    return std::find(ancestors_.begin(), ancestors_.end(), window) != ancestors_.end();
}

void WindowCapture::handleEvent(const xcb_generic_event_t* event) {
    if (state_ != State::running) return;
    const std::uint8_t type = event->response_type & 0x7f;
    if (type == context_.damageEventBase + XCB_DAMAGE_NOTIFY) {
        const auto* e = reinterpret_cast<const xcb_damage_notify_event_t*>(event);
        if (e->damage != damage_.get()) return;
        dirty_ = true;
        if (!windowPixmap_) needsPixmap_ = true;
        return;
    }
    switch (type) {
        case XCB_CONFIGURE_NOTIFY: {
            // Ignore the notices a window manager sends the client when its frame moves.
            if (event->response_type & 0x80) return;
            const auto* e = reinterpret_cast<const xcb_configure_notify_event_t*>(event);
            const bool resizedTop =
                e->window == topLevel() && QSize(e->width, e->height) != topSize_;
            // The top-level got a new pixmap, or the window moved within it.
            if (resizedTop || (throughTopLevel_ && e->window != topLevel() &&
                               (e->window == window_ || isAncestor(e->window)))) {
                needsPixmap_ = true;
                markAllDirty();
            }
            return;
        }
        case XCB_MAP_NOTIFY: {
            const auto* e = reinterpret_cast<const xcb_map_notify_event_t*>(event);
            if (e->window != window_ && !isAncestor(e->window)) return;
            needsPixmap_ = true;
            markAllDirty();
            return;
        }
        case XCB_UNMAP_NOTIFY:
            // The last frame stays; the pixmap named so far keeps its picture until a map.
            return;
        case XCB_REPARENT_NOTIFY: {
            const auto* e = reinterpret_cast<const xcb_reparent_notify_event_t*>(event);
            if (e->window != window_) return;
            followTopLevel();
            needsPixmap_ = true;
            markAllDirty();
            return;
        }
        case XCB_DESTROY_NOTIFY: {
            const auto* e = reinterpret_cast<const xcb_destroy_notify_event_t*>(event);
            if (e->window != window_) return;
            end(captureError(QStringLiteral("The captured window was closed.")));
            return;
        }
        default:
            return;
    }
}

std::optional<WindowCapture::Clock::time_point> WindowCapture::service(Clock::time_point now) {
    if (state_ != State::running) return std::nullopt;
    if (needsPixmap_) {
        needsPixmap_ = false;
        nameWindowPixmap();
        allDamaged_ = true;
    }
    if (presenter_ && presenter_->wantsFrame()) markAllDirty();
    if (!dirty_ || !windowPixmap_ || (!presenter_ && !onFrame_)) return std::nullopt;
    if (now + kSlack < nextAllowed_) return nextAllowed_;
    if (!(presenter_ ? presentFrame() : captureFrame())) return now + kPoolRetry;
    const auto interval = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(configuration_.minimumFrameInterval));
    // Stay on the frame grid when only a little late (timer slack, a reply), so that a source
    // changing at exactly the frame rate loses no frame; start a new grid after a pause. Two
    // frames are never closer than half an interval, and never more than one per interval
    // on average.
    nextAllowed_ = now - nextAllowed_ < interval / 2 ? nextAllowed_ + interval : now + interval;
    return std::nullopt;
}

bool WindowCapture::presentFrame() {
    // Changes from now on make the next frame due.
    const std::optional<QRect> changed = takeDamage();
    presenter_->drawFrame(sourcePicture_.get(), sourceFormat_, sourceRect(), outputSize(), changed);
    presenter_->present();
    dirty_ = false;
    return true;
}

bool WindowCapture::captureFrame() {
    if (!context_.hasRender) return scaleFrameHere();
    std::shared_ptr<ShmFrameBuffer> buffer = pool_ ? pool_->acquire() : nullptr;
    if (pool_ && !buffer && pool_->allocated() == 0) {
        // Not one segment could be shared with the server (another host, another IPC
        // namespace): copy through the connection from now on instead of retrying.
        shmFailureLog()(QStringLiteral("Shared memory cannot be used for capture (%1); frames "
                                       "are copied through the X connection, more slowly.")
                            .arg(pool_->lastError()));
        pool_.reset();
    }
    if (pool_ && !buffer) return false;  // every buffer is still on its way or on display
    // Changes from now on make the next frame due.
    xcb_damage_subtract(connection_, damage_.get(), XCB_NONE, XCB_NONE);
    if (!transformValid_) applyTransform();
    if (fitSize_ != QSize(outputWidth_, outputHeight_))
        fillBlack(connection_, outputPicture_.get(), QRect(0, 0, outputWidth_, outputHeight_));
    xcb_render_composite(connection_, XCB_RENDER_PICT_OP_SRC, sourcePicture_.get(), XCB_NONE,
                         outputPicture_.get(), 0, 0, 0, 0, std::int16_t(fitOffset_.x()),
                         std::int16_t(fitOffset_.y()), std::uint16_t(fitSize_.width()),
                         std::uint16_t(fitSize_.height()));
    if (!buffer) {
        dirty_ = false;
        const Frame frame = copyFrame();
        if (!frame) return retryOnceNamed();
        if (onFrame_) onFrame_(frame);
        return true;
    }
    auto cookie = xcb_shm_get_image(connection_, outputPixmap_.get(), 0, 0,
                                    std::uint16_t(outputWidth_), std::uint16_t(outputHeight_), ~0u,
                                    XCB_IMAGE_FORMAT_Z_PIXMAP, buffer->segment(), 0);
    xcb_generic_error_t* rawError = nullptr;
    auto image = reply(xcb_shm_get_image_reply(connection_, cookie, &rawError));
    auto error = reply(rawError);
    dirty_ = false;
    // The pixmap went away under us (window destroyed or unmapped); events will tell.
    if (!image) return retryOnceNamed();
    const Frame frame = buffer;
    if (onFrame_) onFrame_(frame);
    return true;
}

bool WindowCapture::retryOnceNamed() {
    needsPixmap_ = true;
    dirty_ = true;
    return true;
}

bool WindowCapture::scaleFrameHere() {
    xcb_damage_subtract(connection_, damage_.get(), XCB_NONE, XCB_NONE);
    dirty_ = false;
    const QRect area = sourceRect().toAlignedRect().intersected(
        QRect(origin_, QSize(windowWidth_, windowHeight_)));
    if (area.isEmpty()) return true;
    auto image = reply(xcb_get_image_reply(
        connection_,
        xcb_get_image(connection_, XCB_IMAGE_FORMAT_Z_PIXMAP, windowPixmap_.get(),
                      std::int16_t(area.x()), std::int16_t(area.y()), std::uint16_t(area.width()),
                      std::uint16_t(area.height()), ~0u),
        nullptr));
    // Only the common 32 bits per pixel layouts (depth 24 and 32).
    if (!image || xcb_get_image_data_length(image.get()) != area.width() * area.height() * 4)
        return retryOnceNamed();
    QImage window(xcb_get_image_data(image.get()), area.width(), area.height(), area.width() * 4,
                  image->depth == 32 ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    if (image->depth != 32) {
        // Qt copies the unused byte as alpha: it must say opaque.
        window = window.copy();
        auto* pixel = reinterpret_cast<std::uint32_t*>(window.bits());
        for (qsizetype i = 0, n = window.sizeInBytes() / 4; i < n; ++i) pixel[i] |= 0xff000000u;
    }
    fit();
    QImage output(outputWidth_, outputHeight_, QImage::Format_ARGB32_Premultiplied);
    output.fill(Qt::black);
    QPainter(&output).drawImage(
        fitOffset_, window.scaled(fitSize_, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    if (onFrame_)
        onFrame_(
            std::make_shared<HeapFrameBuffer>(outputWidth_, outputHeight_, output.constBits()));
    return true;
}

Frame WindowCapture::copyFrame() {
    auto image = reply(xcb_get_image_reply(
        connection_,
        xcb_get_image(connection_, XCB_IMAGE_FORMAT_Z_PIXMAP, outputPixmap_.get(), 0, 0,
                      std::uint16_t(outputWidth_), std::uint16_t(outputHeight_), ~0u),
        nullptr));
    if (!image || xcb_get_image_data_length(image.get()) < outputWidth_ * outputHeight_ * 4)
        return nullptr;
    return std::make_shared<HeapFrameBuffer>(outputWidth_, outputHeight_,
                                             xcb_get_image_data(image.get()));
}

void WindowCapture::connectionLost() {
    if (state_ == State::running)
        end(captureError(QStringLiteral("The connection to the X server was lost.")));
}

void WindowCapture::end(const Error& error) {
    releaseServerResources(false);
    state_ = State::ended;
    if (onStop_) onStop_(error);
}

void WindowCapture::releaseServerResources(bool windowExists) {
    sourcePicture_.reset();
    windowPixmap_.reset();
    damageRegion_.reset();
    outputPicture_.reset();
    outputPixmap_.reset();
    pool_.reset();
    if (windowExists) {
        damage_.reset();
    } else {
        // The server destroyed the damage object with the window; the id may be reused.
        damage_.release();
    }
    // The frame of a destroyed window may outlive it for a moment.
    if (redirected_ != XCB_NONE && (windowExists || redirected_ != window_))
        xcb_composite_unredirect_window(connection_, redirected_, XCB_COMPOSITE_REDIRECT_AUTOMATIC);
    redirected_ = XCB_NONE;
    ancestors_.clear();
    dirty_ = false;
    needsPixmap_ = false;
    xcb_flush(connection_);
}

}  // namespace mirano::x11
