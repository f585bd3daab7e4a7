// Layer surfaces for Qt's role-less surfaces: the handshake on our own queue, then Qt's queue.
#include "platform/wayland/panel/LayerSurface.h"

#include <wayland-client.h>

#include "platform/Log.h"
#include "platform/wayland/client/QtSideQueue.h"
#include "platform/wayland/client/WaylandRegistry.h"
#include "platform/wayland/client/WlrProtocols.h"

namespace mirano::wayland {

namespace {
constexpr std::uint32_t kOnDemandSince = 4;
}  // namespace

// --- LayerSurface --------------------------------------------------------------------------

LayerSurface::LayerSurface(zwlr_layer_surface_v1* surface, std::uint32_t shellVersion)
    : surface_(surface), shellVersion_(shellVersion) {
    static const zwlr_layer_surface_v1_listener listener = {&LayerSurface::onConfigure,
                                                            &LayerSurface::handleClosed};
    zwlr_layer_surface_v1_add_listener(surface_.get(), &listener, this);
}

LayerSurface::~LayerSurface() = default;

void LayerSurface::onConfigure(void* data, zwlr_layer_surface_v1* surface, std::uint32_t serial,
                               std::uint32_t, std::uint32_t) {
    // We ask for our own size and never change it for a configure: acknowledge at once, so
    // the next commit (usually Qt's) answers it.
    zwlr_layer_surface_v1_ack_configure(surface, serial);
    static_cast<LayerSurface*>(data)->configured_ = true;
}

void LayerSurface::handleClosed(void* data, zwlr_layer_surface_v1*) {
    logLine(QStringLiteral("Wayland: the compositor closed the panel's layer surface"));
    if (auto& closed = static_cast<LayerSurface*>(data)->closed_) closed();
}

void LayerSurface::place(const LayerPlacement& placement, const QSize& size) {
    zwlr_layer_surface_v1_set_size(surface_.get(),
                                   static_cast<std::uint32_t>(std::max(size.width(), 1)),
                                   static_cast<std::uint32_t>(std::max(size.height(), 1)));
    zwlr_layer_surface_v1_set_anchor(surface_.get(), placement.anchor);
    const QMargins& m = placement.margins;
    zwlr_layer_surface_v1_set_margin(surface_.get(), m.top(), m.right(), m.bottom(), m.left());
}

void LayerSurface::setKeyboard(LayerKeyboard keyboard) {
    std::uint32_t mode = ZWLR_LAYER_SURFACE_V1_KEYBOARD_INTERACTIVITY_NONE;
    if (keyboard == LayerKeyboard::onDemand)
        mode = shellVersion_ >= kOnDemandSince
                   ? ZWLR_LAYER_SURFACE_V1_KEYBOARD_INTERACTIVITY_ON_DEMAND
                   : ZWLR_LAYER_SURFACE_V1_KEYBOARD_INTERACTIVITY_EXCLUSIVE;
    if (keyboard == LayerKeyboard::onClick && shellVersion_ >= kOnDemandSince)
        mode = ZWLR_LAYER_SURFACE_V1_KEYBOARD_INTERACTIVITY_ON_DEMAND;
    zwlr_layer_surface_v1_set_keyboard_interactivity(surface_.get(), mode);
}

void LayerSurface::addPopup(xdg_popup* popup) {
    zwlr_layer_surface_v1_get_popup(surface_.get(), popup);
}

// --- LayerShell ----------------------------------------------------------------------------

LayerShell::LayerShell(std::shared_ptr<QtSideQueue> queue) : queue_(std::move(queue)) {
    if (!queue_->isValid()) return;
    const WaylandRegistry& registry = queue_->registry();
    version_ = std::min<std::uint32_t>(registry.version(zwlr_layer_shell_v1_interface.name),
                                       zwlr_layer_shell_v1_interface.version);
    shell_.reset(
        static_cast<zwlr_layer_shell_v1*>(registry.bind(&zwlr_layer_shell_v1_interface, version_)));
}

std::unique_ptr<LayerSurface> LayerShell::create(wl_surface* surface, wl_output* output,
                                                 const LayerPlacement& placement, const QSize& size,
                                                 LayerKeyboard keyboard) {
    if (!shell_ || !surface) return nullptr;
    std::unique_ptr<LayerSurface> layer(new LayerSurface(
        zwlr_layer_shell_v1_get_layer_surface(shell_.get(), surface, output,
                                              ZWLR_LAYER_SHELL_V1_LAYER_TOP, "mirano"),
        version_));
    layer->place(placement, size);
    layer->setKeyboard(keyboard);
    const bool configured = queue_->commitAndAwait(surface, layer->configured_);
    // From now on Qt's main-thread dispatch delivers its events.
    queue_->handOver(reinterpret_cast<wl_proxy*>(layer->surface_.get()));
    if (!configured) {
        logLine(
            QStringLiteral("Wayland: the compositor did not configure the panel's layer "
                           "surface"));
        return nullptr;
    }
    return layer;
}

}  // namespace mirano::wayland
