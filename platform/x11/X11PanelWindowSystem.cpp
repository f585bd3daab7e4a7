// Floating, focus-less, shaped panels on X11 through EWMH, ICCCM and the SHAPE extension.
#include "platform/x11/X11PanelWindowSystem.h"

#include <xcb/shape.h>
#include <xcb/xcb_icccm.h>

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>
#include <QWindow>
#include <algorithm>
#include <cmath>
#include <numeric>

#include "platform/x11/CompositingManager.h"
#include "platform/x11/Extensions.h"
#include "platform/x11/WindowManagerMessage.h"
#include "platform/x11/X11Desktop.h"
#include "platform/x11/XConnection.h"

namespace mirano {

namespace {
// _NET_WM_MOVERESIZE directions.
constexpr std::uint32_t kSizeTopLeft = 0, kSizeTop = 1, kSizeTopRight = 2, kSizeRight = 3,
                        kSizeBottomRight = 4, kSizeBottom = 5, kSizeBottomLeft = 6, kSizeLeft = 7,
                        kMove = 8;
constexpr std::uint32_t kAllDesktops = 0xFFFFFFFF;
constexpr std::uint32_t kStateAdd = 1;
// Source indication "pager": window managers honour it without focus-stealing checks.
constexpr std::uint32_t kSourcePager = 2;

xcb_window_t xid(QWindow& window) { return static_cast<xcb_window_t>(window.winId()); }

xcb_connection_t* qtConnection() {
    auto* x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}
}  // namespace

X11PanelWindowSystem::X11PanelWindowSystem() : conn_(qtConnection()), atoms_(conn_) {
    if (!conn_) return;
    // The screen of $DISPLAY (":N.S"); Qt's xcb platform uses the same default screen.
    const QByteArray display = qgetenv("DISPLAY");
    const int dot = display.lastIndexOf('.');
    const int colon = display.lastIndexOf(':');
    if (dot > colon && colon >= 0) screenNumber_ = display.mid(dot + 1).toInt();
    if (const xcb_screen_t* screen = x11::screenOf(conn_, screenNumber_)) root_ = screen->root;
    hasShape_ = x11::extensionData(conn_, x11::Extension::shape) != nullptr;
}

bool X11PanelWindowSystem::hasCompositor() {
    return conn_ && x11::compositingManagerRuns(conn_, atoms_, screenNumber_);
}

bool X11PanelWindowSystem::isMapped(xcb_window_t window) {
    auto r = x11::reply(
        xcb_get_window_attributes_reply(conn_, xcb_get_window_attributes(conn_, window), nullptr));
    return r && r->map_state != XCB_MAP_STATE_UNMAPPED;
}

void X11PanelWindowSystem::addStates(xcb_window_t window, const std::vector<xcb_atom_t>& states) {
    const xcb_atom_t netWmState = atoms_.get("_NET_WM_STATE");
    if (isMapped(window)) {
        for (std::size_t i = 0; i < states.size(); i += 2) {
            const std::uint32_t second = i + 1 < states.size() ? states[i + 1] : 0;
            x11::sendToWindowManager(conn_, window, netWmState,
                                     {kStateAdd, states[i], second, 1, 0});
        }
        return;
    }
    // Before mapping the property is ours to write; keep what Qt put there.
    auto r = x11::reply(xcb_get_property_reply(
        conn_, xcb_get_property(conn_, 0, window, netWmState, XCB_ATOM_ATOM, 0, 1024), nullptr));
    std::vector<xcb_atom_t> merged;
    if (r && r->format == 32 && r->type == XCB_ATOM_ATOM) {
        const auto* items = static_cast<const xcb_atom_t*>(xcb_get_property_value(r.get()));
        merged.assign(items, items + xcb_get_property_value_length(r.get()) / 4);
    }
    for (xcb_atom_t s : states)
        if (std::find(merged.begin(), merged.end(), s) == merged.end()) merged.push_back(s);
    xcb_change_property(conn_, XCB_PROP_MODE_REPLACE, window, netWmState, XCB_ATOM_ATOM, 32,
                        static_cast<uint32_t>(merged.size()), merged.data());
}

void X11PanelWindowSystem::setDesktop(xcb_window_t window, std::uint32_t desktop) {
    const xcb_atom_t netWmDesktop = atoms_.get("_NET_WM_DESKTOP");
    if (isMapped(window)) {
        x11::sendToWindowManager(conn_, window, netWmDesktop, {desktop, 1, 0, 0, 0});
        return;
    }
    xcb_change_property(conn_, XCB_PROP_MODE_REPLACE, window, netWmDesktop, XCB_ATOM_CARDINAL, 32,
                        1, &desktop);
}

void X11PanelWindowSystem::setAcceptsFocus(xcb_window_t window, bool accepts) {
    xcb_icccm_wm_hints_t hints{};
    if (!xcb_icccm_get_wm_hints_reply(conn_, xcb_icccm_get_wm_hints(conn_, window), &hints,
                                      nullptr))
        hints = xcb_icccm_wm_hints_t{};
    xcb_icccm_wm_hints_set_input(&hints, accepts ? 1 : 0);
    xcb_icccm_set_wm_hints(conn_, window, &hints);
    if (accepts) return;
    // A window that offers WM_TAKE_FOCUS may still be handed the focus: withdraw the offer.
    const xcb_atom_t protocols = atoms_.get("WM_PROTOCOLS");
    const xcb_atom_t takeFocus = atoms_.get("WM_TAKE_FOCUS");
    auto r = x11::reply(xcb_get_property_reply(
        conn_, xcb_get_property(conn_, 0, window, protocols, XCB_ATOM_ATOM, 0, 64), nullptr));
    if (!r || r->format != 32) return;
    const auto* items = static_cast<const xcb_atom_t*>(xcb_get_property_value(r.get()));
    std::vector<xcb_atom_t> kept(items, items + xcb_get_property_value_length(r.get()) / 4);
    kept.erase(std::remove(kept.begin(), kept.end(), takeFocus), kept.end());
    xcb_change_property(conn_, XCB_PROP_MODE_REPLACE, window, protocols, XCB_ATOM_ATOM, 32,
                        static_cast<uint32_t>(kept.size()), kept.data());
}

void X11PanelWindowSystem::configureFloatingPanel(QWindow& window) {
    if (!conn_) return;
    const xcb_window_t w = xid(window);
    addStates(w,
              {atoms_.get("_NET_WM_STATE_ABOVE"), atoms_.get("_NET_WM_STATE_STICKY"),
               atoms_.get("_NET_WM_STATE_SKIP_TASKBAR"), atoms_.get("_NET_WM_STATE_SKIP_PAGER")});
    setDesktop(w, kAllDesktops);
    setAcceptsFocus(w, false);
    xcb_flush(conn_);
}

void X11PanelWindowSystem::configureOverlayPanel(QWindow& window) {
    if (!conn_) return;
    const xcb_window_t w = xid(window);
    addStates(w, {atoms_.get("_NET_WM_STATE_ABOVE"), atoms_.get("_NET_WM_STATE_SKIP_TASKBAR"),
                  atoms_.get("_NET_WM_STATE_SKIP_PAGER")});
    setAcceptsFocus(w, true);
    // Marks the panel for our window tracking: its focus is not an activation of Mirano.
    const std::uint32_t yes = 1;
    xcb_change_property(conn_, XCB_PROP_MODE_REPLACE, w,
                        atoms_.get(x11::X11Desktop::kKeyPanelProperty), XCB_ATOM_CARDINAL, 32, 1,
                        &yes);
    xcb_flush(conn_);
}

void X11PanelWindowSystem::setSizeConstraints(QWindow& window, const QSizeF& minSize,
                                              const QSizeF& aspect) {
    if (!conn_) return;
    const xcb_window_t w = xid(window);
    const double dpr = window.devicePixelRatio();
    xcb_size_hints_t hints{};
    if (!xcb_icccm_get_wm_normal_hints_reply(conn_, xcb_icccm_get_wm_normal_hints(conn_, w), &hints,
                                             nullptr))
        hints = xcb_size_hints_t{};
    if (minSize.width() > 0 && minSize.height() > 0) {
        xcb_icccm_size_hints_set_min_size(&hints,
                                          static_cast<int32_t>(std::ceil(minSize.width() * dpr)),
                                          static_cast<int32_t>(std::ceil(minSize.height() * dpr)));
    } else {
        hints.flags &= ~XCB_ICCCM_SIZE_HINT_P_MIN_SIZE;
    }
    if (aspect.width() > 0 && aspect.height() > 0) {
        // The hint is a ratio of integers: keep three decimals of the (possibly fractional) size.
        auto num = static_cast<std::int64_t>(std::llround(aspect.width() * 1000));
        auto den = static_cast<std::int64_t>(std::llround(aspect.height() * 1000));
        const std::int64_t g =
            std::gcd(std::max<std::int64_t>(num, 1), std::max<std::int64_t>(den, 1));
        num = std::max<std::int64_t>(num / g, 1);
        den = std::max<std::int64_t>(den / g, 1);
        while (num > INT32_MAX || den > INT32_MAX) {
            num = std::max<std::int64_t>(num / 2, 1);
            den = std::max<std::int64_t>(den / 2, 1);
        }
        xcb_icccm_size_hints_set_aspect(&hints, static_cast<int32_t>(num),
                                        static_cast<int32_t>(den), static_cast<int32_t>(num),
                                        static_cast<int32_t>(den));
        // Aspect applies to the size less the base size: there must be none.
        hints.flags &= ~XCB_ICCCM_SIZE_HINT_BASE_SIZE;
    } else {
        hints.flags &= ~XCB_ICCCM_SIZE_HINT_P_ASPECT;
    }
    xcb_icccm_set_wm_normal_hints(conn_, w, &hints);
    xcb_flush(conn_);
}

void X11PanelWindowSystem::setVisibleShape(QWindow& window, const std::optional<QRegion>& shape) {
    if (!conn_ || !hasShape_) return;
    const xcb_window_t w = xid(window);
    if (!shape) {
        xcb_shape_mask(conn_, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_BOUNDING, w, 0, 0, XCB_NONE);
    } else {
        const double dpr = window.devicePixelRatio();
        std::vector<xcb_rectangle_t> rects;
        for (const QRect& r : *shape) {
            const QRect n(
                QPoint(qFloor(r.left() * dpr), qFloor(r.top() * dpr)),
                QPoint(qCeil((r.right() + 1) * dpr) - 1, qCeil((r.bottom() + 1) * dpr) - 1));
            rects.push_back({static_cast<int16_t>(n.x()), static_cast<int16_t>(n.y()),
                             static_cast<uint16_t>(n.width()), static_cast<uint16_t>(n.height())});
        }
        xcb_shape_rectangles(conn_, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_BOUNDING,
                             XCB_CLIP_ORDERING_UNSORTED, w, 0, 0,
                             static_cast<uint32_t>(rects.size()), rects.data());
    }
    xcb_flush(conn_);
}

void X11PanelWindowSystem::setOpacity(QWindow& window, double opacity) {
    if (!conn_) return;
    // Compositing managers read the property on the top-level they composite, which is the
    // window manager's frame when there is one: set it on every ancestor below the root too.
    const xcb_atom_t property = atoms_.get("_NET_WM_WINDOW_OPACITY");
    const auto value =
        static_cast<std::uint32_t>(std::llround(std::clamp(opacity, 0.0, 1.0) * 0xFFFFFFFFu));
    xcb_window_t w = xid(window);
    for (int depth = 0; w != XCB_NONE && w != root_ && depth < 8; ++depth) {
        if (opacity >= 1.0)
            xcb_delete_property(conn_, w, property);
        else
            xcb_change_property(conn_, XCB_PROP_MODE_REPLACE, w, property, XCB_ATOM_CARDINAL, 32, 1,
                                &value);
        auto tree = x11::reply(xcb_query_tree_reply(conn_, xcb_query_tree(conn_, w), nullptr));
        w = tree ? tree->parent : xcb_window_t(XCB_NONE);
    }
    xcb_flush(conn_);
}

void X11PanelWindowSystem::setInputPassThrough(QWindow& window, bool passThrough) {
    if (!conn_ || !hasShape_) return;
    const xcb_window_t w = xid(window);
    if (passThrough)
        xcb_shape_rectangles(conn_, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_INPUT,
                             XCB_CLIP_ORDERING_UNSORTED, w, 0, 0, 0, nullptr);
    else
        xcb_shape_mask(conn_, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_INPUT, w, 0, 0, XCB_NONE);
    xcb_flush(conn_);
}

void X11PanelWindowSystem::sendMoveResize(QWindow& window, std::uint32_t direction) {
    // Root pixels straight from X: screens of different scales have no common factor.
    auto r = x11::reply(xcb_query_pointer_reply(conn_, xcb_query_pointer(conn_, root_), nullptr));
    const QPoint pos = r ? QPoint(r->root_x, r->root_y) : QCursor::pos();
    xcb_ungrab_pointer(conn_, XCB_CURRENT_TIME);
    x11::sendToWindowManager(
        conn_, xid(window), atoms_.get("_NET_WM_MOVERESIZE"),
        {static_cast<std::uint32_t>(pos.x()), static_cast<std::uint32_t>(pos.y()), direction,
         XCB_BUTTON_INDEX_1, 1});
    xcb_flush(conn_);
}

bool X11PanelWindowSystem::primaryButtonDown() {
    auto r = x11::reply(xcb_query_pointer_reply(conn_, xcb_query_pointer(conn_, root_), nullptr));
    return r && (r->mask & XCB_KEY_BUT_MASK_BUTTON_1);
}

void X11PanelWindowSystem::beginMove(QWindow& window) {
    // A press handled after its release would leave the window manager moving the window
    // with no button down, following the pointer until the next click.
    if (!conn_ || !primaryButtonDown()) return;
    // Qt sends _NET_WM_MOVERESIZE itself and also settles its own idea of the pressed button,
    // which never sees the release (the window manager gets it).
    if (!window.startSystemMove()) sendMoveResize(window, kMove);
}

void X11PanelWindowSystem::beginResize(QWindow& window, Qt::Edges edges) {
    if (!conn_ || !edges || !primaryButtonDown()) return;
    if (window.startSystemResize(edges)) return;
    const bool l = edges & Qt::LeftEdge, r = edges & Qt::RightEdge;
    const bool t = edges & Qt::TopEdge, b = edges & Qt::BottomEdge;
    std::uint32_t direction = t   ? (l   ? kSizeTopLeft
                                     : r ? kSizeTopRight
                                         : kSizeTop)
                              : b ? (l   ? kSizeBottomLeft
                                     : r ? kSizeBottomRight
                                         : kSizeBottom)
                                  : (l ? kSizeLeft : kSizeRight);
    sendMoveResize(window, direction);
}

void X11PanelWindowSystem::activate(QWindow& window) {
    if (!conn_) return;
    x11::sendToWindowManager(conn_, xid(window), atoms_.get("_NET_ACTIVE_WINDOW"),
                             {kSourcePager, XCB_CURRENT_TIME, 0, 0, 0});
    xcb_flush(conn_);
}

QPoint X11PanelWindowSystem::pointerPosition() { return QCursor::pos(); }

QPixmap X11PanelWindowSystem::grabScreen(const QRect& area) {
    QScreen* screen = QGuiApplication::screenAt(area.center());
    if (!screen) screen = QGuiApplication::primaryScreen();
    if (!screen) return {};
    const QRect g = screen->geometry();
    return screen->grabWindow(0, area.x() - g.x(), area.y() - g.y(), area.width(), area.height());
}

}  // namespace mirano
