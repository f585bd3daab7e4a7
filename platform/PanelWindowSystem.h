// Window-system services for Mirano's own panels that Qt has no word for.
#pragma once

#include <QPixmap>
#include <QPoint>
#include <QRect>
#include <QRegion>
#include <QSizeF>
#include <Qt>
#include <optional>

class QWindow;

namespace mirano {

/// What the PiP panel and the region-selection panel need from the window system beyond Qt.
/// Windows are passed as Qt top-level windows (created, shown or not); coordinates are Qt's
/// (top-left origin, y down, device-independent pixels). Main thread only.
class PanelWindowSystem {
public:
    virtual ~PanelWindowSystem() = default;

    /// A compositing manager runs: translucent windows and window opacity work.
    virtual bool hasCompositor() = 0;

    /// Makes a top-level a floating panel: it never takes focus by itself (where no global key
    /// tap exists, a click gives it the keys), floats above normal windows, is on every desktop
    /// and stays off taskbar and pager. Call before the first show.
    virtual void configureFloatingPanel(QWindow& window) = 0;
    /// Makes a top-level an overlay that floats above normal windows, stays off taskbar and
    /// pager and may take keyboard focus; its taking the focus is not an activation of Mirano
    /// (the `Windows` service looks through it). Call before the first show.
    virtual void configureOverlayPanel(QWindow& window) = 0;

    /// Makes `popup` (a menu of the panel `panel`, its native window made, not shown yet) a
    /// popup of the panel where the panel is no ordinary window a menu could open over: shown
    /// at its Qt position, relative to the panel, above it, and closed when the window system
    /// dismisses it. Elsewhere nothing.
    virtual void configurePopup(QWindow& /*popup*/, QWindow& /*panel*/) {}

    /// Minimum size and content aspect ratio kept by the window manager while the user resizes
    /// (an empty size means "no constraint"). Re-apply after anything that rewrites the
    /// window's size hints (show, programmatic geometry changes).
    virtual void setSizeConstraints(QWindow& window, const QSizeF& minSize,
                                    const QSizeF& aspect) = 0;

    /// The part of the window that is drawn, in window coordinates; nothing = the whole
    /// window, an empty region = nothing at all.
    virtual void setVisibleShape(QWindow& window, const std::optional<QRegion>& shape) = 0;
    /// Window opacity 0.0 ... 1.0 (seen only where a compositing manager runs). Re-apply after
    /// the window was shown: a window manager may have put a frame of its own around it.
    virtual void setOpacity(QWindow& window, double opacity) = 0;
    /// setOpacity() makes the window see-through; where not, the panel dims its own pixels.
    virtual bool showsWindowOpacity() { return hasCompositor(); }
    /// Pointer events pass through to the windows below (hover must then be polled).
    virtual void setInputPassThrough(QWindow& window, bool passThrough) = 0;

    /// Hands the pointer drag that began with the current button press to the window manager,
    /// which moves the window until the button is released.
    virtual void beginMove(QWindow& window) = 0;
    /// Same, resizing from the given edges.
    virtual void beginResize(QWindow& window, Qt::Edges edges) = 0;

    /// Raises the window and gives it keyboard focus.
    virtual void activate(QWindow& window) = 0;

    /// The pointer position in global Qt coordinates.
    virtual QPoint pointerPosition() = 0;
    /// Whether pointerPosition() knows the pointer away from Mirano's own windows too (hover
    /// can then be polled while a panel lets clicks pass through).
    virtual bool seesPointerEverywhere() = 0;
    /// A picture of what the screen shows in `area` (global Qt coordinates) right now.
    virtual QPixmap grabScreen(const QRect& area) = 0;
};

}  // namespace mirano
