// A menu of a layer-surface panel on Wayland: a popup of the panel's layer surface.
#pragma once

#include <QObject>
#include <QPointer>
#include <memory>

class QWindow;

namespace mirano::wayland {

class PopupShell;
class PopupSurface;

/// Lives as a child of the menu's window. A menu Qt shows as a top-level of its own would be a
/// new window of the desktop's, tiled beside the user's: with the bypass hint Qt gives its
/// surface no role, and when Qt shows it, it becomes a popup of the panel at its Qt position
/// relative to the panel (moved by the compositor where it would not fit), with the seat's
/// pointer and keys. When the compositor dismisses it (a click elsewhere), the window closes.
class PanelPopup : public QObject {
    Q_OBJECT
public:
    /// Makes `popup` (not shown yet) a popup of `panel`, a window that is a layer surface.
    static void make(QWindow& popup, QWindow& panel, std::shared_ptr<PopupShell> shell);
    ~PanelPopup() override;

private slots:
    /// Qt made a new wl_surface (inside its show, before anything is drawn on it).
    void surfaceCreated();
    /// Qt is about to destroy the wl_surface.
    void surfaceDestroyed();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    PanelPopup(QWindow& popup, QWindow& panel, std::shared_ptr<PopupShell> shell);
    void attach();
    /// Tells Qt where the compositor put the popup.
    void followPlacement();
    /// Closes the window once the current event is done.
    void closeLater();

    QWindow& window_;
    QPointer<QWindow> panel_;
    std::shared_ptr<PopupShell> shell_;
    std::unique_ptr<PopupSurface> popup_;
};

}  // namespace mirano::wayland
