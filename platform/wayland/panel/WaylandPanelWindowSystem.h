// Panel window services on Wayland: layer-shell surfaces for Mirano's panels.
#pragma once

#include <memory>

#include "platform/Log.h"
#include "platform/PanelWindowSystem.h"

namespace mirano::wayland {

class LayerShell;
class PopupShell;
class QtSideQueue;
class RelativePointers;

/// With wlr-layer-shell (sway and other wlroots compositors, KWin, Hyprland, niri) a panel is a
/// layer surface in the top layer, anchored to the corner of its screen nearest to where Qt
/// places it, with margins that keep it there. Without it (GNOME) a panel is an ordinary window
/// and this is said once.
///
/// What Wayland does not allow, and what is done instead:
/// - Window opacity: there is no protocol for it here (wp_alpha_modifier_v1 is newer than this
///   system's compositors), so showsWindowOpacity() is false: the panel dims its own drawing
///   and its picture, and setOpacity() only moves it out of sight, still mapped, at 0.
///   hasCompositor() is true: every Wayland surface is composited, so translucent painting
///   gives the rounded corners.
/// - setVisibleShape(): no protocol shapes a surface; the translucent painting is its shape.
/// - beginMove() and beginResize(): no compositor moves or resizes a layer surface, so the
///   drag is followed here and the margins (and size) change with it; for an ordinary window
///   Qt's system move and resize are used.
/// - Menus: a layer surface is no window of the desktop's, so a menu of a panel is a popup
///   of its layer surface (PanelPopup), not a top-level of its own.
/// - Size constraints: kept by our own resize drags (an ordinary window gets its minimum size).
/// - pointerPosition(): only known while the pointer is over one of our surfaces (Wayland
///   tells a client nothing else), so hover polling of a pass-through panel would see nothing:
///   seesPointerEverywhere() is false and the PiP keeps the mouse, its enter and leave its hover.
/// - grabScreen(): a client cannot read the screen; returns an empty pixmap (the translucent
///   panels never ask).
/// - activate(): a layer surface takes keyboard focus by its keyboard mode; the key-taking
///   overlay panel asks for focus on demand (layer-shell 4; all keys with version 3), which
///   sway gives when it maps and on a click. A floating panel's activation is ignored: it must
///   never take the focus by itself. It asks for the keys on demand from a press on it until
///   the pointer leaves it (PanelSurface), so its own keys reach it after a click.
/// Main thread only; Qt must run on its Wayland platform plugin, otherwise every call does
/// nothing.
class WaylandPanelWindowSystem final : public PanelWindowSystem {
public:
    /// Panels are layer surfaces where `layerShell` (the desktop offers wlr-layer-shell, as
    /// decided at start), else ordinary windows.
    explicit WaylandPanelWindowSystem(bool layerShell);
    ~WaylandPanelWindowSystem() override;

    /// Panels are layer surfaces.
    bool hasLayerShell() const;

    bool hasCompositor() override;
    void configureFloatingPanel(QWindow& window) override;
    void configureOverlayPanel(QWindow& window) override;
    void configurePopup(QWindow& popup, QWindow& panel) override;
    void setSizeConstraints(QWindow& window, const QSizeF& minSize, const QSizeF& aspect) override;
    void setVisibleShape(QWindow& window, const std::optional<QRegion>& shape) override;
    void setOpacity(QWindow& window, double opacity) override;
    bool showsWindowOpacity() override { return false; }
    void setInputPassThrough(QWindow& window, bool passThrough) override;
    void beginMove(QWindow& window) override;
    void beginResize(QWindow& window, Qt::Edges edges) override;
    void activate(QWindow& window) override;
    QPoint pointerPosition() override;
    bool seesPointerEverywhere() override { return false; }
    QPixmap grabScreen(const QRect& area) override;

private:
    void sayNotAbove();

    std::shared_ptr<QtSideQueue> queue_;
    std::shared_ptr<LayerShell> shell_;
    std::shared_ptr<PopupShell> popups_;
    std::unique_ptr<RelativePointers> pointers_;
    LogOnce notAboveLog_;
};

}  // namespace mirano::wayland
