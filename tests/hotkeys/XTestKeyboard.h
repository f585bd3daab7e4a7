// Presses keys on the test display through XTEST, by X keycode.
#pragma once

#include <xcb/xtest.h>

#include <cstdint>
#include <initializer_list>
#include <iterator>

#include "platform/x11/XConnection.h"

namespace mirano::testing {

/// Standard evdev X keycodes of the keys the tests press.
namespace keys {
inline constexpr std::uint8_t A = 38, F = 41, P = 33, Y = 29, Z = 52, Equal = 21, Minus = 20,
                              Comma = 59, BackSpace = 22, ShiftL = 50, ControlL = 37,
                              ControlR = 105, AltL = 64, AltR = 108, SuperL = 133, SuperR = 134,
                              Menu = 135, NumLock = 77;
}

class XTestKeyboard {
public:
    explicit XTestKeyboard(const char* display = nullptr) : conn_(display) {}
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

private:
    void fake(std::uint8_t type, std::uint8_t keycode) {
        xcb_test_fake_input(conn_.get(), type, keycode, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
        xcb_flush(conn_.get());
    }
    x11::XConnection conn_;
};

}  // namespace mirano::testing
