// One Mirano panel on Wayland: its layer surface, following Qt's wl_surface and geometry.
#pragma once

#include <QObject>
#include <QSize>
#include <QSizeF>
#include <memory>
#include <optional>

#include "platform/wayland/panel/LayerPlacement.h"
#include "platform/wayland/panel/LayerSurface.h"

class QWindow;

namespace mirano::wayland {

class QtSideQueue;

/// Lives as a child of its window. With a layer shell the window is a role-less Qt surface
/// that gets the layer role each time Qt makes a new wl_surface for it (on every show after a
/// hide), anchored to the nearest corner of its screen so that it appears where Qt's geometry
/// says; without one it stays Qt's ordinary window. Either way it keeps its input region. An
/// on-click panel asks for the keys when Qt sees a press on it and gives them back when the
/// pointer leaves it (compositors give a keyboard-interactive top-layer surface the focus when
/// it maps, and sway 1.7 at each change of any layer surface).
class PanelSurface : public QObject {
    Q_OBJECT
public:
    /// The panel of `window`, null if it has none.
    static PanelSurface* of(QWindow& window);
    /// One of our layer-surface panels (they carry the bypass hint) has the keyboard focus, or
    /// asks for it while no toplevel has it: Qt makes no focus window of the PiP, which does not
    /// accept focus, even while a click gave it the keys.
    static bool anyHasKeys();
    /// Makes `window` a panel (once; later calls change the keyboard mode). `shell` null or
    /// unavailable: an ordinary window. `queue` waits for the compositor where needed.
    static PanelSurface& make(QWindow& window, std::shared_ptr<QtSideQueue> queue,
                              std::shared_ptr<LayerShell> shell, LayerKeyboard keyboard);

    bool isLayer() const { return shell_ != nullptr; }
    /// The layer surface of Qt's current surface; null while there is none.
    LayerSurface* layer() const { return layer_.get(); }
    /// The layer surface takes keyboard focus now (an on-click panel: since a press on it).
    bool asksForKeys() const { return layer_ && currentKeyboard() != LayerKeyboard::none; }
    void setKeyboard(LayerKeyboard keyboard);
    /// Pointer events pass through to what is below, from the moment this returns (it waits
    /// for the compositor to apply the change).
    void setPassThrough(bool passThrough);
    /// Kept mapped, but placed outside the output.
    void setOutOfSight(bool outOfSight);
    void setSizeConstraints(const QSize& minSize, const QSizeF& aspect);
    QSize minSize() const { return minSize_; }
    QSizeF aspect() const { return aspect_; }

private slots:
    /// Qt made a new wl_surface (called inside Qt's show, before anything is drawn on it).
    void surfaceCreated();
    /// Qt is about to destroy the wl_surface.
    void surfaceDestroyed();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    PanelSurface(QWindow& window, std::shared_ptr<QtSideQueue> queue,
                 std::shared_ptr<LayerShell> shell, LayerKeyboard keyboard);
    LayerPlacement placement() const;
    /// The mode the layer surface has now: an on-click panel's only while clicked.
    LayerKeyboard currentKeyboard() const;
    void setClicked(bool clicked);
    void attach();
    /// The compositor closed the layer surface (its output went away): a new Qt surface gets a
    /// new one, on the window's screen by then.
    void remake();
    void updatePlacement();
    void applyInputRegion();
    void commit();

    QWindow& window_;
    std::shared_ptr<QtSideQueue> queue_;
    std::shared_ptr<LayerShell> shell_;
    std::unique_ptr<LayerSurface> layer_;
    LayerKeyboard keyboard_;
    bool passThrough_ = false;
    bool clicked_ = false;
    bool outOfSight_ = false;
    QSize minSize_;
    QSizeF aspect_;
    std::optional<std::pair<LayerPlacement, QSize>> placed_;
};

}  // namespace mirano::wayland
