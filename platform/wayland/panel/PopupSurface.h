// xdg-shell popups of our layer surfaces, for Qt's role-less surfaces.
#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>
#include <cstdint>
#include <functional>
#include <memory>

#include "platform/wayland/client/WlPtr.h"

struct wl_seat;
struct wl_surface;
struct xdg_popup;
struct xdg_surface;
struct xdg_wm_base;

namespace mirano::wayland {

class LayerSurface;
class QtSideQueue;

/// One popup: placed by the compositor next to an anchor point in its parent, dismissed by it
/// (a click elsewhere). Its state takes effect with the next commit of its wl_surface.
class PopupSurface {
public:
    ~PopupSurface();
    PopupSurface(const PopupSurface&) = delete;
    PopupSurface& operator=(const PopupSurface&) = delete;

    /// Where the compositor put the popup, relative to its parent's top-left corner.
    QPoint position() const { return position_; }
    /// Called (from the compositor's event) when the compositor dismissed the popup; it shows
    /// nothing from then on.
    void onDismissed(std::function<void()> dismissed) { dismissed_ = std::move(dismissed); }

private:
    friend class PopupShell;
    PopupSurface(xdg_surface* surface, xdg_popup* popup);
    static void onSurfaceConfigure(void* data, xdg_surface* surface, std::uint32_t serial);
    static void onConfigure(void* data, xdg_popup* popup, std::int32_t x, std::int32_t y,
                            std::int32_t width, std::int32_t height);
    static void onDone(void* data, xdg_popup* popup);
    static void onRepositioned(void* data, xdg_popup* popup, std::uint32_t token);

    // The role object goes before its xdg_surface.
    WlPtr<xdg_surface> surface_;
    WlPtr<xdg_popup> popup_;
    QPoint position_;
    bool configured_ = false;
    std::function<void()> dismissed_;
};

/// xdg_wm_base bound on Qt's connection: its pings are answered on Qt's queue, the popups'
/// first configure is awaited on our own.
class PopupShell {
public:
    /// Binds the global if the compositor offers it.
    explicit PopupShell(std::shared_ptr<QtSideQueue> queue);
    PopupShell(const PopupShell&) = delete;
    PopupShell& operator=(const PopupShell&) = delete;

    bool isAvailable() const { return base_ != nullptr; }

    /// Gives `surface` (no role, no buffer yet) the popup role over `parent`, its top-left
    /// corner at `anchor` (parent coordinates) where it fits, else moved or flipped by the
    /// compositor to fit the output. With a `seat` it takes the seat's pointer and keys from
    /// the input event of `serial` until dismissed. Commits and waits for the first configure,
    /// which it acknowledges; null when the compositor did not answer.
    std::unique_ptr<PopupSurface> create(wl_surface* surface, LayerSurface& parent, QPoint anchor,
                                         const QSize& size, wl_seat* seat, std::uint32_t serial);

private:
    static void onPing(void* data, xdg_wm_base* base, std::uint32_t serial);

    std::shared_ptr<QtSideQueue> queue_;
    WlPtr<xdg_wm_base> base_;
};

}  // namespace mirano::wayland
