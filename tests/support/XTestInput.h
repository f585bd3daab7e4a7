// Keyboard and pointer input on the test display through XTEST, by X keycode and root position.
#pragma once

#include <xcb/xtest.h>

#include <QPoint>
#include <cstdint>
#include <initializer_list>
#include <iterator>

#include "platform/x11/XConnection.h"

namespace mirano::testing {

/// Standard evdev X keycodes of the keys the tests press.
namespace keys {
inline constexpr std::uint8_t A = 38, F = 41, K = 45, P = 33, Y = 29, Z = 52, Equal = 21,
                              Minus = 20, Comma = 59, BackSpace = 22, Escape = 9, ShiftL = 50,
                              ControlL = 37, ControlR = 105, AltL = 64, AltR = 108, SuperL = 133,
                              SuperR = 134, Menu = 135, NumLock = 77;
}

/// Sends input on a connection of its own: key events at once (sync() waits until the server
/// has processed them), pointer events processed by the server before the call returns. Unlike
/// separate xdotool runs it can hold a button down across steps: the server releases what a
/// client pressed when that client disconnects. Releases a button still held when destroyed.
class XTestInput {
public:
    explicit XTestInput(const char* display = nullptr) : conn_(display) {}
    ~XTestInput() {
        if (held_) releaseButton(held_);
    }
    bool isValid() const { return conn_.isValid(); }

    void press(std::uint8_t keycode) { fake(XCB_KEY_PRESS, keycode); }
    void release(std::uint8_t keycode) { fake(XCB_KEY_RELEASE, keycode); }
    /// Presses the keys in order and releases them in reverse order.
    void chord(std::initializer_list<std::uint8_t> keycodes) {
        for (auto k : keycodes) press(k);
        for (auto it = std::rbegin(keycodes); it != std::rend(keycodes); ++it) release(*it);
    }
    void tap(std::uint8_t keycode) { chord({keycode}); }
    /// Waits until the server has processed everything sent so far.
    void sync() {
        x11::reply(
            xcb_get_input_focus_reply(conn_.get(), xcb_get_input_focus(conn_.get()), nullptr));
    }

    /// Where this input last moved the pointer.
    QPoint pointer() const { return pointer_; }
    void moveTo(QPoint p) { fake(XCB_MOTION_NOTIFY, 0, conn_.root(), pointer_ = p), sync(); }
    void pressButton(int button = 1) { fake(XCB_BUTTON_PRESS, uint8_t(held_ = button)), sync(); }
    void releaseButton(int b = 1) { fake(XCB_BUTTON_RELEASE, uint8_t(b)), held_ = 0, sync(); }
    void click(int button = 1) { pressButton(button), releaseButton(button); }

private:
    void fake(std::uint8_t type, std::uint8_t detail, xcb_window_t root = XCB_NONE,
              QPoint at = {}) {
        xcb_test_fake_input(conn_.get(), type, detail, XCB_CURRENT_TIME, root, int16_t(at.x()),
                            int16_t(at.y()), 0);
        xcb_flush(conn_.get());
    }
    x11::XConnection conn_;
    int held_ = 0;
    QPoint pointer_;
};

}  // namespace mirano::testing
