// Popups of layer surfaces: the positioner, the handshake on our own queue, then Qt's queue.
#include "platform/wayland/panel/PopupSurface.h"

#include <wayland-client.h>

#include <algorithm>

#include "platform/Log.h"
#include "platform/wayland/client/QtSideQueue.h"
#include "platform/wayland/client/WaylandRegistry.h"
#include "platform/wayland/panel/LayerSurface.h"
#include "xdg-shell-client-protocol.h"

namespace mirano::wayland {

namespace {
/// An xdg_surface whose events come on `queue`, made from a shell proxy on another queue.
xdg_surface* xdgSurfaceOn(wl_event_queue* queue, xdg_wm_base* base, wl_surface* surface) {
    auto* wrapper = static_cast<xdg_wm_base*>(wl_proxy_create_wrapper(base));
    wl_proxy_set_queue(reinterpret_cast<wl_proxy*>(wrapper), queue);
    xdg_surface* made = xdg_wm_base_get_xdg_surface(wrapper, surface);
    wl_proxy_wrapper_destroy(wrapper);
    return made;
}
}  // namespace

// --- PopupSurface --------------------------------------------------------------------------

PopupSurface::PopupSurface(xdg_surface* surface, xdg_popup* popup)
    : surface_(surface), popup_(popup) {
    static const xdg_surface_listener surfaceListener = {&PopupSurface::onSurfaceConfigure};
    static const xdg_popup_listener popupListener = {
        &PopupSurface::onConfigure, &PopupSurface::onDone, &PopupSurface::onRepositioned};
    xdg_surface_add_listener(surface_.get(), &surfaceListener, this);
    xdg_popup_add_listener(popup_.get(), &popupListener, this);
}

PopupSurface::~PopupSurface() = default;

void PopupSurface::onSurfaceConfigure(void* data, xdg_surface* surface, std::uint32_t serial) {
    // The size asked for is kept whatever the compositor says: acknowledge at once.
    xdg_surface_ack_configure(surface, serial);
    static_cast<PopupSurface*>(data)->configured_ = true;
}

void PopupSurface::onConfigure(void* data, xdg_popup*, std::int32_t x, std::int32_t y, std::int32_t,
                               std::int32_t) {
    static_cast<PopupSurface*>(data)->position_ = QPoint(x, y);
}

void PopupSurface::onDone(void* data, xdg_popup*) {
    if (auto& dismissed = static_cast<PopupSurface*>(data)->dismissed_) dismissed();
}

void PopupSurface::onRepositioned(void*, xdg_popup*, std::uint32_t) {}

// --- PopupShell ----------------------------------------------------------------------------

PopupShell::PopupShell(std::shared_ptr<QtSideQueue> queue) : queue_(std::move(queue)) {
    if (!queue_->isValid()) return;
    base_.reset(static_cast<xdg_wm_base*>(queue_->registry().bind(&xdg_wm_base_interface, 1)));
    if (!base_) return;
    static const xdg_wm_base_listener listener = {&PopupShell::onPing};
    xdg_wm_base_add_listener(base_.get(), &listener, this);
    // Pings come at any time: Qt's main-thread dispatch answers them.
    queue_->handOver(reinterpret_cast<wl_proxy*>(base_.get()));
}

void PopupShell::onPing(void*, xdg_wm_base* base, std::uint32_t serial) {
    xdg_wm_base_pong(base, serial);
}

std::unique_ptr<PopupSurface> PopupShell::create(wl_surface* surface, LayerSurface& parent,
                                                 QPoint anchor, const QSize& size, wl_seat* seat,
                                                 std::uint32_t serial) {
    if (!base_ || !surface) return nullptr;
    const WlPtr<xdg_positioner> positioner(xdg_wm_base_create_positioner(base_.get()));
    xdg_positioner_set_size(positioner.get(), std::max(size.width(), 1),
                            std::max(size.height(), 1));
    xdg_positioner_set_anchor_rect(positioner.get(), anchor.x(), anchor.y(), 1, 1);
    xdg_positioner_set_anchor(positioner.get(), XDG_POSITIONER_ANCHOR_TOP_LEFT);
    xdg_positioner_set_gravity(positioner.get(), XDG_POSITIONER_GRAVITY_BOTTOM_RIGHT);
    xdg_positioner_set_constraint_adjustment(positioner.get(),
                                             XDG_POSITIONER_CONSTRAINT_ADJUSTMENT_FLIP_X |
                                                 XDG_POSITIONER_CONSTRAINT_ADJUSTMENT_FLIP_Y |
                                                 XDG_POSITIONER_CONSTRAINT_ADJUSTMENT_SLIDE_X |
                                                 XDG_POSITIONER_CONSTRAINT_ADJUSTMENT_SLIDE_Y);
    xdg_surface* xdg = xdgSurfaceOn(queue_->queue(), base_.get(), surface);
    std::unique_ptr<PopupSurface> popup(
        new PopupSurface(xdg, xdg_surface_get_popup(xdg, nullptr, positioner.get())));
    parent.addPopup(popup->popup_.get());
    if (seat) xdg_popup_grab(popup->popup_.get(), seat, serial);
    const bool configured = queue_->commitAndAwait(surface, popup->configured_);
    // From now on Qt's main-thread dispatch delivers their events.
    queue_->handOver(reinterpret_cast<wl_proxy*>(popup->surface_.get()));
    queue_->handOver(reinterpret_cast<wl_proxy*>(popup->popup_.get()));
    if (!configured) {
        logLine(QStringLiteral("Wayland: the compositor did not configure the panel's menu"));
        return nullptr;
    }
    return popup;
}

}  // namespace mirano::wayland
