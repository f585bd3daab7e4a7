// Helpers of the integration tests: reading the screen and the window manager's state, shared
// memory left behind, waiting for asynchronous operations, and driving the pointer with XTEST.
#pragma once

#include <gtest/gtest.h>
#include <xcb/xcb_icccm.h>
#include <xcb/xtest.h>

#include <QColor>
#include <QFile>
#include <QRect>
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
public:
    Inspector() : conn_(nullptr) {}
    bool isValid() const { return conn_.isValid(); }

    /// One pixel of the screen as shown (composited when a compositing manager runs).
    QColor pixel(int x, int y) {
        auto r = x11::reply(
            xcb_get_image_reply(conn_.get(),
                                xcb_get_image(conn_.get(), XCB_IMAGE_FORMAT_Z_PIXMAP, conn_.root(),
                                              int16_t(x), int16_t(y), 1, 1, ~0u),
                                nullptr));
        if (!r || xcb_get_image_data_length(r.get()) < 4) return {};
        const uint8_t* p = xcb_get_image_data(r.get());
        return QColor(p[2], p[1], p[0]);
    }
    /// The pixel at `p`.
    QColor pixel(QPoint p) { return pixel(p.x(), p.y()); }
    /// Where the pointer is, in root coordinates.
    QPoint pointer() {
        auto r = x11::reply(xcb_query_pointer_reply(
            conn_.get(), xcb_query_pointer(conn_.get(), conn_.root()), nullptr));
        return r ? QPoint(r->root_x, r->root_y) : QPoint(-1, -1);
    }
    /// Whether some client owns the selection (a tray, a compositing manager).
    bool selectionOwned(const char* name) {
        auto r = x11::reply(xcb_get_selection_owner_reply(
            conn_.get(), xcb_get_selection_owner(conn_.get(), conn_.atom(name)), nullptr));
        return r && r->owner != XCB_NONE;
    }
    /// The window's attributes; null when it is gone.
    x11::XReply<xcb_get_window_attributes_reply_t> attributes(xcb_window_t window) {
        return x11::reply(xcb_get_window_attributes_reply(
            conn_.get(), xcb_get_window_attributes(conn_.get(), window), nullptr));
    }
    xcb_window_t inputFocus() {
        auto r = x11::reply(
            xcb_get_input_focus_reply(conn_.get(), xcb_get_input_focus(conn_.get()), nullptr));
        return r ? r->focus : XCB_NONE;
    }
    QStringList atomNames(xcb_window_t window, const char* property) {
        QStringList names;
        for (std::uint32_t a : conn_.property32(window, conn_.atom(property), XCB_ATOM_ATOM)) {
            auto r = x11::reply(
                xcb_get_atom_name_reply(conn_.get(), xcb_get_atom_name(conn_.get(), a), nullptr));
            if (r)
                names << QString::fromLatin1(xcb_get_atom_name_name(r.get()),
                                             xcb_get_atom_name_name_length(r.get()));
        }
        return names;
    }
    std::vector<std::uint32_t> cardinals(xcb_window_t window, const char* property) {
        return conn_.property32(window, conn_.atom(property), XCB_ATOM_CARDINAL);
    }
    /// WM_HINTS input field; nothing when the hint is absent.
    std::optional<bool> inputHint(xcb_window_t window) {
        xcb_icccm_wm_hints_t hints{};
        if (!xcb_icccm_get_wm_hints_reply(conn_.get(), xcb_icccm_get_wm_hints(conn_.get(), window),
                                          &hints, nullptr))
            return std::nullopt;
        if (!(hints.flags & XCB_ICCCM_WM_HINT_INPUT)) return std::nullopt;
        return hints.input != 0;
    }
    /// The window's rectangle in root coordinates.
    QRect rootGeometry(xcb_window_t window) {
        auto g = x11::reply(
            xcb_get_geometry_reply(conn_.get(), xcb_get_geometry(conn_.get(), window), nullptr));
        auto t = x11::reply(xcb_translate_coordinates_reply(
            conn_.get(), xcb_translate_coordinates(conn_.get(), window, conn_.root(), 0, 0),
            nullptr));
        if (!g || !t) return {};
        return QRect(t->dst_x, t->dst_y, g->width, g->height);
    }
    /// Someone (the window manager during a move or resize) holds the pointer grab.
    bool pointerGrabbedElsewhere() {
        auto r = x11::reply(xcb_grab_pointer_reply(
            conn_.get(),
            xcb_grab_pointer(conn_.get(), 0, conn_.root(), 0, XCB_GRAB_MODE_ASYNC,
                             XCB_GRAB_MODE_ASYNC, XCB_NONE, XCB_NONE, XCB_CURRENT_TIME),
            nullptr));
        if (r && r->status == XCB_GRAB_STATUS_SUCCESS) {
            xcb_ungrab_pointer(conn_.get(), XCB_CURRENT_TIME);
            conn_.flush();
            return false;
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
    bool isValid() const { return conn_.isValid(); }
    QPoint position() const { return position_; }
    void moveTo(int x, int y) {
        position_ = QPoint(x, y);
        xcb_test_fake_input(conn_.get(), XCB_MOTION_NOTIFY, 0, XCB_CURRENT_TIME, conn_.root(),
                            int16_t(x), int16_t(y), 0);
        sync();
    }
    void press(int button = 1) {
        xcb_test_fake_input(conn_.get(), XCB_BUTTON_PRESS, uint8_t(button), XCB_CURRENT_TIME,
                            XCB_NONE, 0, 0, 0);
        held_ = button;
        sync();
    }
    void release(int button = 1) {
        xcb_test_fake_input(conn_.get(), XCB_BUTTON_RELEASE, uint8_t(button), XCB_CURRENT_TIME,
                            XCB_NONE, 0, 0, 0);
        held_ = 0;
        sync();
    }
    ~XTestPointer() {
        if (held_) release(held_);
    }

private:
    void sync() {
        // A round trip: the server has processed the fake input when it answers.
        x11::reply(
            xcb_get_input_focus_reply(conn_.get(), xcb_get_input_focus(conn_.get()), nullptr));
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

/// Whether the rectangles' edges are at most `tolerance` pixels apart.
inline bool within(const QRect& a, const QRect& b, int tolerance) {
    return std::abs(a.left() - b.left()) <= tolerance && std::abs(a.top() - b.top()) <= tolerance &&
           std::abs(a.right() - b.right()) <= tolerance &&
           std::abs(a.bottom() - b.bottom()) <= tolerance;
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

/// Texts for failure messages.
inline std::string describe(const QColor& c) {
    return c.isValid() ? c.name().toStdString() : std::string("invalid");
}
inline std::string describe(const QPoint& p) {
    return std::to_string(p.x()) + "," + std::to_string(p.y());
}
inline std::string describe(const QRect& r) {
    return std::to_string(r.x()) + "," + std::to_string(r.y()) + " " + std::to_string(r.width()) +
           "x" + std::to_string(r.height());
}

}  // namespace mirano::testing
