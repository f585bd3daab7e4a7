// Helpers of the integration tests: reading the screen and the window manager's state, shared
// memory left behind, waiting for asynchronous operations, and driving the pointer with XTEST.
#pragma once

#include <gtest/gtest.h>
#include <xcb/xcb_icccm.h>
#include <xcb/xtest.h>

#include <QColor>
#include <QDebug>
#include <QFile>
#include <QRect>
#include <QRectF>
#include <QStringList>
#include <cstdlib>
#include <functional>
#include <optional>
#include <vector>

#include "platform/Types.h"
#include "platform/x11/XConnection.h"
#include "tests/hotkeys/TestClientWindow.h"
#include "tests/support/X11Session.h"

namespace mirano::testing {

/// A second connection for looking at the display from outside.
class Inspector {
    xcb_connection_t* c() const { return conn_.get(); }
    xcb_window_t root() const { return conn_.root(); }
    xcb_atom_t atom(const char* name) { return conn_.atom(name); }
    /// The reply to `cookie`, freed with the returned pointer.
    template <typename ReplyFn, typename Cookie>
    auto ask(ReplyFn replyFn, Cookie cookie) {
        return x11::reply(replyFn(c(), cookie, nullptr));
    }

public:
    Inspector() : conn_(nullptr) {}
    bool isValid() const { return conn_.isValid(); }

    /// One pixel of the screen as shown (composited when a compositing manager runs).
    QColor pixel(int x, int y) {
        auto r = ask(xcb_get_image_reply, xcb_get_image(c(), XCB_IMAGE_FORMAT_Z_PIXMAP, root(),
                                                        int16_t(x), int16_t(y), 1, 1, ~0u));
        if (!r || xcb_get_image_data_length(r.get()) < 4) return {};
        const uint8_t* p = xcb_get_image_data(r.get());
        return QColor(p[2], p[1], p[0]);
    }
    QColor pixel(QPoint p) { return pixel(p.x(), p.y()); }
    /// Where the pointer is, in root coordinates.
    QPoint pointer() {
        auto r = ask(xcb_query_pointer_reply, xcb_query_pointer(c(), root()));
        return r ? QPoint(r->root_x, r->root_y) : QPoint(-1, -1);
    }
    /// Whether some client owns the selection (a tray, a compositing manager).
    bool selectionOwned(const char* name) {
        auto r = ask(xcb_get_selection_owner_reply, xcb_get_selection_owner(c(), atom(name)));
        return r && r->owner != XCB_NONE;
    }
    /// The window's attributes; null when it is gone.
    x11::XReply<xcb_get_window_attributes_reply_t> attributes(xcb_window_t window) {
        return ask(xcb_get_window_attributes_reply, xcb_get_window_attributes(c(), window));
    }
    xcb_window_t inputFocus() {
        auto r = ask(xcb_get_input_focus_reply, xcb_get_input_focus(c()));
        return r ? r->focus : XCB_NONE;
    }
    QStringList atomNames(xcb_window_t window, const char* property) {
        QStringList names;
        for (std::uint32_t a : conn_.property32(window, atom(property), XCB_ATOM_ATOM))
            if (auto r = ask(xcb_get_atom_name_reply, xcb_get_atom_name(c(), a)))
                names << QString::fromLatin1(xcb_get_atom_name_name(r.get()),
                                             xcb_get_atom_name_name_length(r.get()));
        return names;
    }
    std::vector<std::uint32_t> cardinals(xcb_window_t window, const char* property) {
        return conn_.property32(window, atom(property), XCB_ATOM_CARDINAL);
    }
    /// WM_HINTS input field; nothing when the hint is absent.
    std::optional<bool> inputHint(xcb_window_t window) {
        xcb_icccm_wm_hints_t h{};
        if (!xcb_icccm_get_wm_hints_reply(c(), xcb_icccm_get_wm_hints(c(), window), &h, nullptr) ||
            !(h.flags & XCB_ICCCM_WM_HINT_INPUT))
            return std::nullopt;
        return h.input != 0;
    }
    /// The window's rectangle in root coordinates.
    QRect rootGeometry(xcb_window_t window) {
        auto g = ask(xcb_get_geometry_reply, xcb_get_geometry(c(), window));
        auto t = ask(xcb_translate_coordinates_reply,
                     xcb_translate_coordinates(c(), window, root(), 0, 0));
        return g && t ? QRect(t->dst_x, t->dst_y, g->width, g->height) : QRect();
    }
    /// Someone (the window manager during a move or resize) holds the pointer grab.
    bool pointerGrabbedElsewhere() {
        auto r = ask(xcb_grab_pointer_reply,
                     xcb_grab_pointer(c(), 0, root(), 0, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC,
                                      XCB_NONE, XCB_NONE, XCB_CURRENT_TIME));
        if (r && r->status == XCB_GRAB_STATUS_SUCCESS) {
            xcb_ungrab_pointer(c(), XCB_CURRENT_TIME);
            conn_.flush();
        }
        return r && r->status == XCB_GRAB_STATUS_ALREADY_GRABBED;
    }

private:
    x11::XConnection conn_;
};

/// Presses, moves and releases the pointer through XTEST on a connection of its own. Unlike
/// separate xdotool runs it can hold a button down across steps: the server releases what a
/// client pressed when that client disconnects. Releases anything still held when destroyed.
class XTestPointer {
public:
    ~XTestPointer() {
        if (held_) release(held_);
    }
    QPoint position() const { return position_; }
    void moveTo(int x, int y) {
        position_ = QPoint(x, y);
        fake(XCB_MOTION_NOTIFY, 0, conn_.root(), x, y);
    }
    void press(int button = 1) { fake(XCB_BUTTON_PRESS, uint8_t(held_ = button)); }
    void release(int button = 1) {
        held_ = 0;
        fake(XCB_BUTTON_RELEASE, uint8_t(button));
    }

private:
    /// Sends the input and waits for a round trip: then the server has processed it.
    void fake(uint8_t type, uint8_t detail, xcb_window_t root = XCB_NONE, int x = 0, int y = 0) {
        xcb_connection_t* c = conn_.get();
        xcb_test_fake_input(c, type, detail, XCB_CURRENT_TIME, root, int16_t(x), int16_t(y), 0);
        x11::reply(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    }
    x11::XConnection conn_;
    int held_ = 0;
    QPoint position_;
};

/// The permission bits (octal, with 01000 for "marked for removal") of each shared-memory
/// segment that process `pid` created and that still exists.
inline std::vector<int> shmSegmentsOf(qint64 pid) {
    std::vector<int> perms;
    QFile file(QStringLiteral("/proc/sysvipc/shm"));
    if (!file.open(QIODevice::ReadOnly)) return perms;
    file.readLine();         // the header
    while (!file.atEnd()) {  // the fifth column is the creator's pid
        const QList<QByteArray> f = file.readLine().simplified().split(' ');
        if (f.size() > 4 && f[4].toLongLong() == pid) perms.push_back(f[2].toInt(nullptr, 8));
    }
    return perms;
}

/// Runs an asynchronous operation to completion (bounded); returns its error.
inline std::optional<Error> await(const std::function<void(Completion)>& op) {
    bool done = false;
    std::optional<Error> error;
    op([&](std::optional<Error> e) { done = true, error = e; });
    EXPECT_TRUE(waitUntil([&] { return done; }, 10000)) << "operation did not complete";
    return error;
}

/// Starts `stream` capturing window `id` (at that size, of that part), again and again (bounded)
/// until the window manager lists the window; returns the last error.
template <typename Stream>
std::optional<Error> startCaptureOnceListed(Stream& stream, WindowNumber id,
                                            std::optional<std::int64_t> w = {},
                                            std::optional<std::int64_t> h = {}, QRectF rect = {}) {
    std::optional<Error> error;
    waitUntil([&] {
        return !(error = await([&](Completion d) { stream.startCapture(id, w, h, rect, d); }));
    });
    return error;
}

/// Whether the rectangles' edges are at most `t` pixels apart.
inline bool within(const QRect& a, const QRect& b, int t) {
    return a.adjusted(-t, -t, t, t).contains(b) && b.adjusted(-t, -t, t, t).contains(a);
}

/// Runs xdotool with the arguments; true when it succeeded.
inline bool xdotool(const QStringList& args) {
    int code = -1;
    gSession->run("xdotool", args, 10000, &code);
    return code == 0;
}

/// Colours closer than `tolerance` in every channel.
inline bool near(const QColor& a, const QColor& b, int tolerance = 12) {
    return a.isValid() && std::abs(a.red() - b.red()) <= tolerance &&
           std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
}

/// A text for failure messages (a colour, point, rectangle).
template <typename T>
std::string describe(const T& value) {
    return QDebug::toString(value).toStdString();
}

}  // namespace mirano::testing
