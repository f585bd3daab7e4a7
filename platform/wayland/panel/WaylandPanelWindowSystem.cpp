// Mirano's panels on Wayland: layer surfaces where the compositor has them, else plain windows.
#include "platform/wayland/panel/WaylandPanelWindowSystem.h"

#include <QCursor>
#include <QWindow>
#include <cmath>

#include "platform/wayland/client/QtSideQueue.h"
#include "platform/wayland/client/QtWaylandNative.h"
#include "platform/wayland/panel/LayerSurface.h"
#include "platform/wayland/panel/PanelDrag.h"
#include "platform/wayland/panel/PanelPopup.h"
#include "platform/wayland/panel/PanelSurface.h"
#include "platform/wayland/panel/PopupSurface.h"
#include "platform/wayland/panel/RelativeMotion.h"

namespace mirano::wayland {

WaylandPanelWindowSystem::WaylandPanelWindowSystem(bool layerShell) {
    if (!qtOnWayland()) return;
    queue_ = std::make_shared<QtSideQueue>();
    if (layerShell) shell_ = std::make_shared<LayerShell>(queue_);
    pointers_ = std::make_unique<RelativePointers>(queue_);
    if (!hasLayerShell()) return;
    popups_ = std::make_shared<PopupShell>(queue_);
    // Read by Qt at each show: a window with the bypass hint gets no role from Qt, and ours.
    qputenv("QT_WAYLAND_USE_BYPASSWINDOWMANAGERHINT", "1");
    if (!qEnvironmentVariableIsSet("QT_WAYLAND_DISABLE_FIXED_POSITIONS"))
        logLine(
            QStringLiteral("Wayland: Qt keeps top-levels at the screen's top-left corner "
                           "(prepareQtForPanels() was not called); panels appear there"));
}

WaylandPanelWindowSystem::~WaylandPanelWindowSystem() = default;

bool WaylandPanelWindowSystem::hasLayerShell() const { return shell_ && shell_->isAvailable(); }

bool WaylandPanelWindowSystem::hasCompositor() { return qtOnWayland(); }

void WaylandPanelWindowSystem::sayNotAbove() {
    notAboveLog_(
        QStringLiteral("Wayland: this desktop has no layer shell; Mirano's panels are "
                       "ordinary windows and cannot be kept above others"));
}

void WaylandPanelWindowSystem::configureFloatingPanel(QWindow& window) {
    if (!qtOnWayland()) return;
    if (!hasLayerShell()) sayNotAbove();
    PanelSurface::make(window, queue_, shell_, LayerKeyboard::onClick);
}

void WaylandPanelWindowSystem::configureOverlayPanel(QWindow& window) {
    if (!qtOnWayland()) return;
    if (!hasLayerShell()) sayNotAbove();
    PanelSurface::make(window, queue_, shell_, LayerKeyboard::onDemand);
}

void WaylandPanelWindowSystem::configurePopup(QWindow& popup, QWindow& panel) {
    const PanelSurface* surface = PanelSurface::of(panel);
    if (!popups_ || !popups_->isAvailable() || !surface || !surface->isLayer()) return;
    PanelPopup::make(popup, panel, popups_);
}

void WaylandPanelWindowSystem::setSizeConstraints(QWindow& window, const QSizeF& minSize,
                                                  const QSizeF& aspect) {
    auto* panel = PanelSurface::of(window);
    if (!panel) return;
    const QSize min(static_cast<int>(std::ceil(minSize.width())),
                    static_cast<int>(std::ceil(minSize.height())));
    panel->setSizeConstraints(min, aspect);
    if (!panel->isLayer()) window.setMinimumSize(min);
}

void WaylandPanelWindowSystem::setVisibleShape(QWindow&, const std::optional<QRegion>&) {}

void WaylandPanelWindowSystem::setOpacity(QWindow& window, double opacity) {
    if (auto* panel = PanelSurface::of(window)) panel->setOutOfSight(!(opacity > 0));
}

void WaylandPanelWindowSystem::setInputPassThrough(QWindow& window, bool passThrough) {
    if (auto* panel = PanelSurface::of(window)) panel->setPassThrough(passThrough);
}

void WaylandPanelWindowSystem::beginMove(QWindow& window) {
    auto* panel = PanelSurface::of(window);
    if (!panel) return;
    if (!panel->isLayer()) {
        window.startSystemMove();
        return;
    }
    PanelDrag::begin(window, {}, panel->minSize(), panel->aspect(), pointers_->track());
}

void WaylandPanelWindowSystem::beginResize(QWindow& window, Qt::Edges edges) {
    auto* panel = PanelSurface::of(window);
    if (!panel || !edges) return;
    if (!panel->isLayer()) {
        window.startSystemResize(edges);
        return;
    }
    PanelDrag::begin(window, edges, panel->minSize(), panel->aspect(), pointers_->track());
}

void WaylandPanelWindowSystem::activate(QWindow& window) {
    auto* panel = PanelSurface::of(window);
    if (panel && !panel->isLayer()) window.requestActivate();
}

QPoint WaylandPanelWindowSystem::pointerPosition() { return QCursor::pos(); }

QPixmap WaylandPanelWindowSystem::grabScreen(const QRect&) { return {}; }

}  // namespace mirano::wayland
