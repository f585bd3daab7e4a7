// A panel's layer surface: made again with each Qt surface, placed from Qt's geometry.
#include "platform/wayland/panel/PanelSurface.h"

#include <wayland-client.h>

#include <QEvent>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QWindow>
#include <algorithm>

#include "platform/Log.h"
#include "platform/wayland/client/QtSideQueue.h"
#include "platform/wayland/client/QtWaylandNative.h"
#include "platform/wayland/client/WlPtr.h"

namespace mirano::wayland {

PanelSurface* PanelSurface::of(QWindow& window) {
    return window.findChild<PanelSurface*>(QString(), Qt::FindDirectChildrenOnly);
}

bool PanelSurface::anyHasKeys() {
    const QWindow* focus = QGuiApplication::focusWindow();
    if (focus && focus->flags().testFlag(Qt::BypassWindowManagerHint)) return true;
    const QWindowList windows = QGuiApplication::topLevelWindows();
    return std::any_of(windows.begin(), windows.end(), [](QWindow* window) {
        const PanelSurface* panel = of(*window);
        return panel && window->isVisible() && panel->asksForKeys();
    });
}

PanelSurface& PanelSurface::make(QWindow& window, std::shared_ptr<QtSideQueue> queue,
                                 std::shared_ptr<LayerShell> shell, LayerKeyboard keyboard) {
    if (auto* existing = of(window)) {
        existing->setKeyboard(keyboard);
        return *existing;
    }
    if (shell && !shell->isAvailable()) shell.reset();
    return *new PanelSurface(window, std::move(queue), std::move(shell), keyboard);
}

PanelSurface::PanelSurface(QWindow& window, std::shared_ptr<QtSideQueue> queue,
                           std::shared_ptr<LayerShell> shell, LayerKeyboard keyboard)
    : QObject(&window),
      window_(window),
      queue_(std::move(queue)),
      shell_(std::move(shell)),
      keyboard_(keyboard) {
    if (isLayer()) {
        // With QT_WAYLAND_USE_BYPASSWINDOWMANAGERHINT (set by the window system) Qt then gives
        // the surface no role of its own (xdg-shell); we give it ours.
        window.setFlag(Qt::BypassWindowManagerHint);
        for (auto signal : {&QWindow::xChanged, &QWindow::yChanged, &QWindow::widthChanged,
                            &QWindow::heightChanged})
            connect(&window, signal, this, &PanelSurface::updatePlacement);
        connect(&window, &QWindow::screenChanged, this, &PanelSurface::updatePlacement);
        window.installEventFilter(this);
    }
    if (!followQtSurfaces(window, *this) && isLayer())
        logLine(
            QStringLiteral("Wayland: cannot follow Qt's surfaces; the panel is a layer "
                           "surface only until it is first hidden"));
    attach();
}

void PanelSurface::surfaceCreated() { attach(); }

void PanelSurface::surfaceDestroyed() {
    clicked_ = false;
    layer_.reset();
    placed_.reset();
}

LayerPlacement PanelSurface::placement() const {
    const QRect screen = window_.screen() ? window_.screen()->geometry() : QRect();
    return outOfSight_ ? placeOutOfSight(window_.geometry(), screen)
                       : placeInNearestCorner(window_.geometry(), screen);
}

void PanelSurface::attach() {
    wl_surface* surface = qtSurface(window_);
    if (!surface) return;
    if (isLayer() && !layer_) {
        const QSize size = window_.geometry().size();
        const LayerPlacement p = placement();
        layer_ = shell_->create(surface, qtOutput(window_.screen()), p, size, currentKeyboard());
        if (layer_) placed_ = {p, size};
        // Not from inside the compositor's event: Qt first hears of the output's going.
        QPointer<PanelSurface> self(this);
        if (layer_)
            layer_->onClosed([self] {
                QMetaObject::invokeMethod(
                    self,
                    [self] {
                        if (self) self->remake();
                    },
                    Qt::QueuedConnection);
            });
    }
    if (passThrough_) {
        applyInputRegion();
        commit();
    }
}

void PanelSurface::remake() {
    layer_.reset();
    placed_.reset();
    if (!window_.isVisible()) return;
    // Qt destroys its surface on hide and makes a new one on show: attach() gives it the role.
    window_.hide();
    window_.show();
}

void PanelSurface::updatePlacement() {
    if (!layer_) return;
    const std::pair<LayerPlacement, QSize> now{placement(), window_.geometry().size()};
    if (placed_ == now) return;
    placed_ = now;
    layer_->place(now.first, now.second);
    commit();
}

void PanelSurface::setKeyboard(LayerKeyboard keyboard) {
    keyboard_ = keyboard;
    if (!layer_) return;
    layer_->setKeyboard(currentKeyboard());
    commit();
}

LayerKeyboard PanelSurface::currentKeyboard() const {
    if (keyboard_ != LayerKeyboard::onClick || clicked_) return keyboard_;
    return LayerKeyboard::none;
}

bool PanelSurface::eventFilter(QObject*, QEvent* event) {
    if (event->type() == QEvent::MouseButtonPress) setClicked(true);
    if (event->type() == QEvent::Leave) setClicked(false);
    return false;
}

void PanelSurface::setClicked(bool clicked) {
    if (clicked == clicked_) return;
    clicked_ = clicked;
    if (keyboard_ == LayerKeyboard::onClick) setKeyboard(keyboard_);
}

void PanelSurface::setPassThrough(bool passThrough) {
    if (passThrough == passThrough_) return;
    passThrough_ = passThrough;
    applyInputRegion();
    commit();
    // A click that follows at once (from any client) must meet the new region.
    if (queue_) queue_->roundtrip();
}

void PanelSurface::setOutOfSight(bool outOfSight) {
    if (outOfSight == outOfSight_) return;
    outOfSight_ = outOfSight;
    updatePlacement();
}

void PanelSurface::setSizeConstraints(const QSize& minSize, const QSizeF& aspect) {
    minSize_ = minSize;
    aspect_ = aspect;
}

void PanelSurface::applyInputRegion() {
    wl_surface* surface = qtSurface(window_);
    if (!surface) return;
    if (!passThrough_) {
        wl_surface_set_input_region(surface, nullptr);  // the whole surface
        return;
    }
    wl_compositor* compositor = qtCompositor();
    if (!compositor) return;
    const WlPtr<wl_region> empty(wl_compositor_create_region(compositor));
    wl_surface_set_input_region(surface, empty.get());
}

void PanelSurface::commit() {
    // Before the layer surface's first configure a commit would be out of turn; Qt's own
    // surfaces without our role commit freely.
    if (isLayer() && !layer_) return;
    if (wl_surface* surface = qtSurface(window_)) {
        wl_surface_commit(surface);
        wl_display_flush(qtDisplay());
    }
}

}  // namespace mirano::wayland
