// Panel window services on X11 (EWMH, ICCCM and XShape), on Qt's own XCB connection.
#pragma once

#include <xcb/xcb.h>

#include <vector>

#include "platform/PanelWindowSystem.h"
#include "platform/x11/Atoms.h"

namespace mirano {

/// Uses the connection Qt's xcb platform opened, so that its requests are ordered after Qt's
/// own on the same windows (Qt rewrites size hints and states when it shows a window). On any
/// other Qt platform every call does nothing and hasCompositor() is false.
class X11PanelWindowSystem final : public PanelWindowSystem {
public:
    X11PanelWindowSystem();

    bool hasCompositor() override;
    void configureFloatingPanel(QWindow& window) override;
    void configureOverlayPanel(QWindow& window) override;
    void setSizeConstraints(QWindow& window, const QSizeF& minSize, const QSizeF& aspect) override;
    void setVisibleShape(QWindow& window, const std::optional<QRegion>& shape) override;
    void setOpacity(QWindow& window, double opacity) override;
    void setInputPassThrough(QWindow& window, bool passThrough) override;
    void beginMove(QWindow& window) override;
    void beginResize(QWindow& window, Qt::Edges edges) override;
    void activate(QWindow& window) override;
    QPoint pointerPosition() override;
    bool seesPointerEverywhere() override { return true; }
    QPixmap grabScreen(const QRect& area) override;

private:
    bool isMapped(xcb_window_t window);
    /// Adds EWMH states: as a property before mapping, as requests to the WM afterwards.
    void addStates(xcb_window_t window, const std::vector<xcb_atom_t>& states);
    void setDesktop(xcb_window_t window, std::uint32_t desktop);
    void setAcceptsFocus(xcb_window_t window, bool accepts);
    void sendMoveResize(QWindow& window, std::uint32_t direction);
    bool primaryButtonDown();

    xcb_connection_t* conn_ = nullptr;
    xcb_window_t root_ = XCB_NONE;
    int screenNumber_ = 0;
    bool hasShape_ = false;
    x11::AtomCache atoms_;
};

}  // namespace mirano
