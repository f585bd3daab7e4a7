// A panel's menu as an xdg popup of its layer surface, made again with each Qt surface.
#include "platform/wayland/panel/PanelPopup.h"

#include <QEvent>
#include <QWindow>

#include "platform/Log.h"
#include "platform/wayland/client/QtWaylandNative.h"
#include "platform/wayland/panel/PanelSurface.h"
#include "platform/wayland/panel/PopupSurface.h"

namespace mirano::wayland {

void PanelPopup::make(QWindow& popup, QWindow& panel, std::shared_ptr<PopupShell> shell) {
    if (popup.findChild<PanelPopup*>(QString(), Qt::FindDirectChildrenOnly)) return;
    new PanelPopup(popup, panel, std::move(shell));
}

PanelPopup::PanelPopup(QWindow& popup, QWindow& panel, std::shared_ptr<PopupShell> shell)
    : QObject(&popup), window_(popup), panel_(&panel), shell_(std::move(shell)) {
    // With QT_WAYLAND_USE_BYPASSWINDOWMANAGERHINT (set by the window system) Qt then gives
    // the surface no role of its own; we give it ours.
    popup.setFlag(Qt::BypassWindowManagerHint);
    popup.installEventFilter(this);
    // Else the popup has its role from its first show only (the event filter).
    followQtSurfaces(popup, *this);
}

PanelPopup::~PanelPopup() = default;

void PanelPopup::surfaceCreated() {
    if (window_.isVisible()) attach();
}

void PanelPopup::surfaceDestroyed() { popup_.reset(); }

bool PanelPopup::eventFilter(QObject*, QEvent* event) {
    // Sent before Qt shows the surface, with the geometry the popup is shown at.
    if (event->type() == QEvent::Show) attach();
    return false;
}

void PanelPopup::attach() {
    wl_surface* surface = qtSurface(window_);
    if (!surface || popup_) return;
    PanelSurface* parent = panel_ ? PanelSurface::of(*panel_) : nullptr;
    if (parent && parent->layer()) {
        const QPoint anchor = window_.geometry().topLeft() - panel_->geometry().topLeft();
        wl_seat* seat = qtSeat();
        const std::uint32_t serial = qtInputSerial();
        // A grab needs the serial of the input event that opened the popup.
        popup_ = shell_->create(surface, *parent->layer(), anchor, window_.geometry().size(),
                                serial ? seat : nullptr, serial);
    }
    if (!popup_) {
        logLine(QStringLiteral("Wayland: the panel's menu cannot be shown"));
        return closeLater();
    }
    popup_->onDismissed([this] { closeLater(); });
    followPlacement();
}

void PanelPopup::followPlacement() {
    if (!panel_) return;
    const QPoint placed = panel_->geometry().topLeft() + popup_->position();
    if (placed == window_.position()) return;
    // Not from inside Qt's show.
    QMetaObject::invokeMethod(
        &window_,
        [window = QPointer<QWindow>(&window_), placed] {
            if (window) window->setPosition(placed);
        },
        Qt::QueuedConnection);
}

void PanelPopup::closeLater() {
    // Not from inside Qt's show or the compositor's event.
    QMetaObject::invokeMethod(
        &window_,
        [window = QPointer<QWindow>(&window_)] {
            if (window) window->close();
        },
        Qt::QueuedConnection);
}

}  // namespace mirano::wayland
