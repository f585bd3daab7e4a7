#include "platform/wayland/present/SubsurfacePresenter.h"

#include <wayland-client.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <optional>

#include "platform/wayland/client/QtSideQueue.h"
#include "platform/wayland/client/WaylandRegistry.h"
#include "viewporter-client-protocol.h"

namespace mirano::wayland {

namespace {
/// One picture on screen, one being written, one spare for a compositor that is slow to release.
constexpr std::size_t kMaxBuffers = 3;

/// A source rectangle as the viewport takes it, in 1/256 pixels and never beyond `buffer` (the
/// compositor refuses one that reaches outside); none when nothing of it lies in the buffer.
struct FixedRect {
    wl_fixed_t x, y, width, height;
};
std::optional<FixedRect> toFixed(const QRectF& source, QSize buffer) {
    const auto floor256 = [](double v) { return wl_fixed_t(std::floor(v * 256)); };
    const wl_fixed_t x = std::clamp(floor256(source.x()), 0, buffer.width() * 256);
    const wl_fixed_t y = std::clamp(floor256(source.y()), 0, buffer.height() * 256);
    const wl_fixed_t width = std::min(floor256(source.width()), buffer.width() * 256 - x);
    const wl_fixed_t height = std::min(floor256(source.height()), buffer.height() * 256 - y);
    if (width <= 0 || height <= 0) return std::nullopt;
    return FixedRect{x, y, width, height};
}
}  // namespace

struct SubsurfacePresenter::Globals {
    WlPtr<wl_compositor> compositor;
    WlPtr<wl_subcompositor> subcompositor;
    WlPtr<wl_shm> shm;
    WlPtr<wp_viewporter> viewporter;
};

struct SubsurfacePresenter::Subsurface {
    // Destroyed from the last: the viewport and the role go before their surface.
    WlPtr<wl_surface> surface;
    WlPtr<wl_subsurface> subsurface;
    WlPtr<wp_viewport> viewport;

    Subsurface(const Globals& globals, wl_surface* parent, QPoint position)
        : surface(wl_compositor_create_surface(globals.compositor.get())),
          subsurface(
              wl_subcompositor_get_subsurface(globals.subcompositor.get(), surface.get(), parent)),
          viewport(wp_viewporter_get_viewport(globals.viewporter.get(), surface.get())) {
        wl_subsurface_place_below(subsurface.get(), parent);
        wl_subsurface_set_position(subsurface.get(), position.x(), position.y());
        wl_subsurface_set_desync(subsurface.get());
        // The pointer meets the panel above, also where the panel lets it through.
        WlPtr<wl_region> nothing(wl_compositor_create_region(globals.compositor.get()));
        wl_surface_set_input_region(surface.get(), nothing.get());
    }
};

std::shared_ptr<SubsurfacePresenter> SubsurfacePresenter::create(QString* missing) {
    std::shared_ptr<SubsurfacePresenter> presenter(new SubsurfacePresenter());
    auto& queue = presenter->queue_;
    queue = std::make_unique<QtSideQueue>();
    const auto lacks = [&](const char* what) {
        if (missing) *missing = QString::fromLatin1(what);
        return nullptr;
    };
    if (!queue->isValid()) return lacks("wl_display");
    const WaylandRegistry& registry = queue->registry();
    auto globals = std::make_unique<Globals>();
    globals->compositor.reset(
        static_cast<wl_compositor*>(registry.bind(&wl_compositor_interface, 4)));
    globals->subcompositor.reset(
        static_cast<wl_subcompositor*>(registry.bind(&wl_subcompositor_interface, 1)));
    globals->shm.reset(static_cast<wl_shm*>(registry.bind(&wl_shm_interface, 1)));
    globals->viewporter.reset(
        static_cast<wp_viewporter*>(registry.bind(&wp_viewporter_interface, 1)));
    if (!globals->viewporter) return lacks(wp_viewporter_interface.name);
    if (!globals->compositor) return lacks(wl_compositor_interface.name);
    if (!globals->subcompositor) return lacks(wl_subcompositor_interface.name);
    if (!globals->shm) return lacks(wl_shm_interface.name);
    presenter->globals_ = std::move(globals);
    return presenter;
}

SubsurfacePresenter::SubsurfacePresenter() = default;

SubsurfacePresenter::~SubsurfacePresenter() { close(); }

void SubsurfacePresenter::close() {
    std::lock_guard lock(mutex_);
    picture_ = nullptr;
    held_.clear();
    subsurface_.reset();
    buffers_.clear();
    globals_.reset();
    // Last: the objects on its queue are gone.
    queue_.reset();
}

void SubsurfacePresenter::setParent(wl_surface* parent) {
    std::lock_guard lock(mutex_);
    subsurface_.reset();
    if (!parent || !globals_) return;
    subsurface_ = std::make_unique<Subsurface>(*globals_, parent, position_);
    redraw();
}

void SubsurfacePresenter::setPlacement(QPoint position, const QSizeF& viewSize, double surfaceScale,
                                       double outputScale) {
    std::lock_guard lock(mutex_);
    if (subsurface_ && position != position_)
        wl_subsurface_set_position(subsurface_->subsurface.get(), position.x(), position.y());
    position_ = position;
    viewSize_ = viewSize;
    surfaceScale_ = surfaceScale;
    outputScale_ = outputScale > 0 ? outputScale : 1;
    redraw();
}

void SubsurfacePresenter::setCornerRadius(double radius) {
    std::lock_guard lock(mutex_);
    radius_ = radius;
}

void SubsurfacePresenter::setVisible(bool visible) {
    std::lock_guard lock(mutex_);
    visible_ = visible;
    redraw();
}

void SubsurfacePresenter::setOpacity(double opacity) {
    std::lock_guard lock(mutex_);
    opacity = std::clamp(opacity, 0.0, 1.0);
    if (opacity == opacity_) return;
    // The picture on screen was at full opacity: keep its pixels to dim them again and again.
    if (opacity_ >= 1 && picture_) {
        const std::uint8_t* pixels = picture_->pixels();
        undimmed_.assign(pixels,
                         pixels + picture_->stride() * std::size_t(picture_->size().height()));
    }
    opacity_ = opacity;
    redrawDimmed();
    if (opacity_ >= 1) undimmed_.clear();
}

void SubsurfacePresenter::redrawDimmed() {
    if (!picture_ || !subsurface_ || !visible_) return;
    const QSize size = picture_->size();
    if (undimmed_.size() != picture_->stride() * std::size_t(size.height())) return;
    ShmBuffer* buffer = freeBuffer(size);
    if (!buffer) return;  // the compositor holds every one: the next picture is dimmed
    dimPixels(undimmed_.data(), buffer->pixels(), undimmed_.size(), opacity_);
    picture_ = buffer;
    commitPicture();
}

ViewportPlacement SubsurfacePresenter::placement() const {
    return placeViewport(shown_, viewSize_, surfaceScale_, radius_);
}

ShmBuffer* SubsurfacePresenter::freeBuffer(QSize size) {
    // Buffers of another size are of no more use; the one on screen keeps its pixels.
    if (picture_ && picture_->size() != size) picture_ = nullptr;
    std::erase_if(buffers_, [&](const auto& b) { return b->size() != size; });
    // The releases that came since the last picture.
    wl_display_dispatch_queue_pending(queue_->display(), queue_->queue());
    for (const auto& b : buffers_)
        if (!b->isBusy()) return b.get();
    if (buffers_.size() >= kMaxBuffers) return nullptr;
    auto made = ShmBuffer::create(globals_->shm.get(), size);
    if (!made) return nullptr;
    return buffers_.emplace_back(std::move(made)).get();
}

bool SubsurfacePresenter::show(const MappedImage& image, const QRect& shown) {
    std::lock_guard lock(mutex_);
    if (!globals_) return false;
    // A picture is kept while it cannot be shown (the panel shows once there is one), and when
    // it has a new shape (the first picture, a resized window): the panel then takes that shape
    // after it, and a window that does not change sends no other picture.
    const bool newShape = shown.size() != lastShown_;
    lastShown_ = shown.size();
    const bool canShow = subsurface_ && visible_ && !viewSize_.isEmpty();
    if (newShape || !canShow)
        hold(image, shown);
    else
        held_.clear();
    return !canShow || showNow(image, shown);
}

void SubsurfacePresenter::hold(const MappedImage& image, const QRect& shown) {
    const std::size_t rowBytes = std::size_t(shown.width()) * 4;
    held_.resize(rowBytes * std::size_t(shown.height()));
    for (int y = 0; y < shown.height(); ++y)
        std::memcpy(
            held_.data() + rowBytes * std::size_t(y),
            image.data + image.rowBytes() * std::size_t(shown.y() + y) + std::size_t(shown.x()) * 4,
            rowBytes);
    heldImage_ = image;
    heldImage_.data = held_.data();
    heldImage_.size = held_.size();
    heldImage_.width = shown.width();
    heldImage_.height = shown.height();
    heldImage_.stride = rowBytes;
}

void SubsurfacePresenter::redraw() {
    // A kept picture is kept until the next one comes: the panel takes its place and size
    // just after it shows, and what is copied of the picture depends on them.
    const bool canShow = !held_.empty() && subsurface_ && visible_ && !viewSize_.isEmpty();
    if (!canShow || !showNow(heldImage_, QRect(0, 0, heldImage_.width, heldImage_.height)))
        commitPicture();
}

bool SubsurfacePresenter::showNow(const MappedImage& image, const QRect& shown) {
    // Only what fills the view is copied (in whole pixels); the viewport places it exactly.
    const ViewportPlacement filled = placeViewport(shown, viewSize_, surfaceScale_, 0);
    const QRect copied = filled.source.toAlignedRect() & shown;
    if (copied.isEmpty()) return false;
    // Averaged down towards the pixels the compositor shows, it copies and scales less, and
    // the compositor's filter meets no more detail than it can keep.
    const QSize onScreen(int(std::ceil(filled.destination.width() * outputScale_)),
                         int(std::ceil(filled.destination.height() * outputScale_)));
    const int factor = reductionFactor(copied.size(), onScreen);
    ShmBuffer* buffer = freeBuffer(QSize(copied.width() / factor, copied.height() / factor));
    if (!buffer) return false;  // the compositor holds every one: this picture is dropped
    copyAreaReduced(image, copied, factor, buffer->pixels(), buffer->stride());
    const QRect inCopy = shown.translated(-copied.topLeft());
    shown_ = QRectF(QPointF(inCopy.topLeft()) / factor, QSizeF(inCopy.size()) / factor);
    const ViewportPlacement placed = placement();
    cutCorners(buffer->pixels(), buffer->stride(), buffer->size(), placed.source,
               placed.cornerRadius);
    if (opacity_ < 1) {
        const std::size_t bytes = buffer->stride() * std::size_t(buffer->size().height());
        undimmed_.assign(buffer->pixels(), buffer->pixels() + bytes);
        dimPixels(buffer->pixels(), buffer->pixels(), bytes, opacity_);
    }
    picture_ = buffer;
    commitPicture();
    return true;
}

void SubsurfacePresenter::commitPicture() {
    if (!subsurface_) return;
    wl_surface* surface = subsurface_->surface.get();
    const ViewportPlacement placed = placement();
    const auto source =
        visible_ && picture_ ? toFixed(placed.source, picture_->size()) : std::nullopt;
    if (!source) {
        wl_surface_attach(surface, nullptr, 0, 0);
    } else {
        wp_viewport_set_source(subsurface_->viewport.get(), source->x, source->y, source->width,
                               source->height);
        wp_viewport_set_destination(subsurface_->viewport.get(), placed.destination.width(),
                                    placed.destination.height());
        wl_surface_attach(surface, picture_->buffer(), 0, 0);
        picture_->markAttached();
        wl_surface_damage(surface, 0, 0, INT32_MAX, INT32_MAX);
    }
    wl_surface_commit(surface);
    wl_display_flush(queue_->display());
}

}  // namespace mirano::wayland
