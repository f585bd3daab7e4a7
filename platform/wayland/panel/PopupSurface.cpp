// A popup of a layer surface: xdg_popup made without a parent and given the layer surface's.
#include "platform/wayland/panel/PopupSurface.h"

#include <wayland-client.h>

#include <QEvent>
#include <QMetaObject>
#include <QWindow>
#include <algorithm>

#include "platform/Log.h"
#include "platform/wayland/client/QtSideQueue.h"
#include "platform/wayland/client/QtWaylandNative.h"
#include "platform/wayland/client/WaylandRegistry.h"
#include "platform/wayland/client/WlrProtocols.h"
#include "platform/wayland/panel/PanelSurface.h"
#include "xdg-shell-client-protocol.h"

namespace mirano::wayland {

namespace {
// Each roundtrip waits for the compositor's answer; the configure comes with the first.
constexpr int kConfigureRoundtrips = 3;

void onPing(void*, xdg_wm_base* base, std::uint32_t serial) { xdg_wm_base_pong(base, serial); }
// Only from version 3, which is not bound.
void onRepositioned(void*, xdg_popup*, std::uint32_t) {}
}  // namespace

// --- PopupShell ----------------------------------------------------------------------------

PopupShell::PopupShell(std::shared_ptr<QtSideQueue> queue) : queue_(std::move(queue)) {
    if (!queue_->isValid()) return;
    base_.reset(static_cast<xdg_wm_base*>(queue_->registry().bind(&xdg_wm_base_interface, 1)));
    if (!base_) return;
    static const xdg_wm_base_listener listener = {&onPing};
    xdg_wm_base_add_listener(base_.get(), &listener, nullptr);
    maker_ = static_cast<xdg_wm_base*>(wl_proxy_create_wrapper(base_.get()));
    wl_proxy_set_queue(reinterpret_cast<wl_proxy*>(maker_), queue_->queue());
    // Pings come whenever the compositor likes: Qt's dispatch answers them.
    queue_->handOver(reinterpret_cast<wl_proxy*>(base_.get()));
}

PopupShell::~PopupShell() {
    if (maker_) wl_proxy_wrapper_destroy(maker_);
}

// --- PopupSurface --------------------------------------------------------------------------

void PopupSurface::make(QWindow& popup, QWindow& panel, std::shared_ptr<PopupShell> shell) {
    PanelSurface* parent = PanelSurface::of(panel);
    if (!shell || !shell->isAvailable() || !parent || !parent->layer()) return;
    if (popup.findChild<PopupSurface*>(QString(), Qt::FindDirectChildrenOnly)) return;
    new PopupSurface(popup, panel, std::move(shell));
}

PopupSurface::PopupSurface(QWindow& popup, QWindow& panel, std::shared_ptr<PopupShell> shell)
    : QObject(&popup), popup_(popup), panel_(&panel), shell_(std::move(shell)) {
    // As for the panels: with this hint Qt gives the surface no role of its own.
    popup.setFlag(Qt::BypassWindowManagerHint);
    QObject* platformWindow = qtPlatformWindowObject(popup);
    // Direct: the role must be there before Qt first commits the surface.
    if (platformWindow) {
        connect(platformWindow, SIGNAL(wlSurfaceCreated()), this, SLOT(surfaceCreated()),
                Qt::DirectConnection);
        connect(platformWindow, SIGNAL(wlSurfaceDestroyed()), this, SLOT(surfaceDestroyed()),
                Qt::DirectConnection);
    }
    // The role waits for the show, which comes once Qt's geometry is where the popup goes.
    popup.installEventFilter(this);
}

bool PopupSurface::eventFilter(QObject*, QEvent* event) {
    if (event->type() == QEvent::Show) surfaceCreated();
    return false;
}

PopupSurface::~PopupSurface() { surfaceDestroyed(); }

void PopupSurface::surfaceCreated() {
    wl_surface* surface = qtSurface(popup_);
    PanelSurface* parent = panel_ ? PanelSurface::of(*panel_) : nullptr;
    if (!surface || xdgPopup_ || !popup_.isVisible() || !parent || !parent->layer()) return;
    configured_ = false;
    xdgSurface_.reset(xdg_wm_base_get_xdg_surface(shell_->maker(), surface));
    static const xdg_surface_listener surfaceListener = {&PopupSurface::onConfigure};
    xdg_surface_add_listener(xdgSurface_.get(), &surfaceListener, this);

    // At Qt's place of it, in the panel's surface coordinates, growing right and down.
    const QRect at = popup_.geometry();
    const QPoint offset = at.topLeft() - panel_->geometry().topLeft();
    const WlPtr<xdg_positioner> positioner(xdg_wm_base_create_positioner(shell_->maker()));
    xdg_positioner_set_size(positioner.get(), std::max(at.width(), 1), std::max(at.height(), 1));
    xdg_positioner_set_anchor_rect(positioner.get(), offset.x(), offset.y(), 1, 1);
    xdg_positioner_set_anchor(positioner.get(), XDG_POSITIONER_ANCHOR_TOP_LEFT);
    xdg_positioner_set_gravity(positioner.get(), XDG_POSITIONER_GRAVITY_BOTTOM_RIGHT);
    xdg_positioner_set_constraint_adjustment(positioner.get(),
                                             XDG_POSITIONER_CONSTRAINT_ADJUSTMENT_SLIDE_X |
                                                 XDG_POSITIONER_CONSTRAINT_ADJUSTMENT_SLIDE_Y |
                                                 XDG_POSITIONER_CONSTRAINT_ADJUSTMENT_FLIP_Y);
    xdgPopup_.reset(xdg_surface_get_popup(xdgSurface_.get(), nullptr, positioner.get()));
    static const xdg_popup_listener popupListener = {&PopupSurface::onPopupConfigure,
                                                     &PopupSurface::onPopupDone, &onRepositioned};
    xdg_popup_add_listener(xdgPopup_.get(), &popupListener, this);
    zwlr_layer_surface_v1_get_popup(parent->layer()->handle(), xdgPopup_.get());
    // No grab: sway ends one as soon as the panel's keyboard mode is committed. The keys stay
    // the panel's, which Qt hands to the open menu.
    parent->setPopupOpen(true);
    wl_surface_commit(surface);

    QtSideQueue& queue = shell_->queue();
    for (int i = 0; i < kConfigureRoundtrips && !configured_; ++i)
        if (!queue.roundtrip()) break;
    // From now on Qt's main-thread dispatch delivers their events.
    queue.handOver(reinterpret_cast<wl_proxy*>(xdgSurface_.get()));
    queue.handOver(reinterpret_cast<wl_proxy*>(xdgPopup_.get()));
    if (!configured_)
        logLine(QStringLiteral("Wayland: the compositor did not configure the PiP's menu"));
}

void PopupSurface::surfaceDestroyed() {
    if (!xdgPopup_) return;
    xdgPopup_.reset();
    xdgSurface_.reset();
    if (PanelSurface* parent = panel_ ? PanelSurface::of(*panel_) : nullptr)
        parent->setPopupOpen(false);
}

void PopupSurface::onConfigure(void* data, xdg_surface* surface, std::uint32_t serial) {
    // The size is ours and stays: acknowledge at once, Qt's next commit answers it.
    xdg_surface_ack_configure(surface, serial);
    static_cast<PopupSurface*>(data)->configured_ = true;
}

void PopupSurface::onPopupConfigure(void*, xdg_popup*, std::int32_t, std::int32_t, std::int32_t,
                                    std::int32_t) {}

void PopupSurface::onPopupDone(void* data, xdg_popup*) {
    // Dismissed by the compositor (a click elsewhere): the menu closes, after this event.
    auto* self = static_cast<PopupSurface*>(data);
    QMetaObject::invokeMethod(
        &self->popup_, [window = &self->popup_] { window->close(); }, Qt::QueuedConnection);
}

}  // namespace mirano::wayland
