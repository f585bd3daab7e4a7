// A Qt popup (the frame-rate menu) as an xdg_popup of a panel's layer surface.
#pragma once

#include <QObject>
#include <QPointer>
#include <cstdint>
#include <memory>

#include "platform/wayland/client/WlPtr.h"

class QWindow;

namespace mirano::wayland {

class QtSideQueue;

/// xdg_wm_base bound on Qt's connection. Its pings are answered on Qt's queue; the popups are
/// made on the side queue, so that their first configure can be awaited inside Qt's show.
class PopupShell {
public:
    explicit PopupShell(std::shared_ptr<QtSideQueue> queue);
    ~PopupShell();
    PopupShell(const PopupShell&) = delete;
    PopupShell& operator=(const PopupShell&) = delete;

    bool isAvailable() const { return base_ != nullptr; }
    QtSideQueue& queue() const { return *queue_; }
    /// xdg_wm_base as seen from the side queue: what it makes starts there.
    xdg_wm_base* maker() const { return maker_; }

private:
    std::shared_ptr<QtSideQueue> queue_;
    WlPtr<xdg_wm_base> base_;
    xdg_wm_base* maker_ = nullptr;  // a wrapper of base_, destroyed with wl_proxy_wrapper_destroy
};

/// Lives as a child of the popup's window (a role-less Qt surface, like the panels). At each
/// show it becomes an xdg_popup whose parent is the panel's layer surface, placed where Qt's
/// geometry puts it relative to the panel (the compositor may slide it to keep it on screen).
/// The panel keeps the keys while it is open, and Qt hands them to the menu; should the
/// compositor dismiss it, the window closes.
class PopupSurface : public QObject {
    Q_OBJECT
public:
    /// Makes `popup` (created, not shown) a popup of `panel`; nothing when the panel is not
    /// a layer surface now (Qt's own popup then).
    static void make(QWindow& popup, QWindow& panel, std::shared_ptr<PopupShell> shell);
    ~PopupSurface() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private slots:
    /// Qt made a new wl_surface, or shows the popup: the role, once it is visible.
    void surfaceCreated();
    void surfaceDestroyed();

private:
    PopupSurface(QWindow& popup, QWindow& panel, std::shared_ptr<PopupShell> shell);
    static void onConfigure(void* data, xdg_surface* surface, std::uint32_t serial);
    static void onPopupConfigure(void* data, xdg_popup* popup, std::int32_t x, std::int32_t y,
                                 std::int32_t width, std::int32_t height);
    static void onPopupDone(void* data, xdg_popup* popup);

    QWindow& popup_;
    QPointer<QWindow> panel_;
    std::shared_ptr<PopupShell> shell_;
    // Destroyed from the last: the role before its xdg_surface.
    WlPtr<xdg_surface> xdgSurface_;
    WlPtr<xdg_popup> xdgPopup_;
    bool configured_ = false;
};

}  // namespace mirano::wayland
