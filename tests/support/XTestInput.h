// Keyboard and pointer input on the test display through XTEST, by X keycode and root position.
#pragma once

#include <QPoint>
#include <cstdint>
#include <initializer_list>

#include "platform/x11/XConnection.h"

namespace mirano::testing {

/// Standard evdev X keycodes of the keys the tests press.
namespace keys {
inline constexpr std::uint8_t A = 38, F = 41, K = 45, P = 33, Y = 29, Z = 52, Equal = 21,
                              Minus = 20, Comma = 59, BackSpace = 22, Escape = 9, Return = 36,
                              Tab = 23, Up = 111, Down = 116, ShiftL = 50, ControlL = 37,
                              ControlR = 105, AltL = 64, AltR = 108, SuperL = 133, SuperR = 134,
                              Menu = 135, NumLock = 77;
}

/// Sends input on a connection of its own: key events at once (sync() waits until the server
/// has processed them), pointer events processed by the server before the call returns. Unlike
/// separate xdotool runs it can hold a button down across steps: the server releases what a
/// client pressed when that client disconnects. Releases a button still held when destroyed.
class XTestInput {
public:
    explicit XTestInput(const char* display = nullptr) : conn_(display) {}
    ~XTestInput();
    XTestInput(const XTestInput&) = delete;
    XTestInput& operator=(const XTestInput&) = delete;
    bool isValid() const { return conn_.isValid(); }

    void press(std::uint8_t keycode);
    void release(std::uint8_t keycode);
    /// Presses the keys in order and releases them in reverse order.
    void chord(std::initializer_list<std::uint8_t> keycodes);
    void tap(std::uint8_t keycode) { chord({keycode}); }
    /// Waits until the server has processed everything sent so far.
    void sync();

    /// Where this input last moved the pointer.
    QPoint pointer() const { return pointer_; }
    void moveTo(QPoint p);
    void pressButton(int button = 1);
    void releaseButton(int button = 1);
    void click(int button = 1);

private:
    void fake(std::uint8_t type, std::uint8_t detail, xcb_window_t root = XCB_NONE, QPoint at = {});
    x11::XConnection conn_;
    int held_ = 0;
    QPoint pointer_;
};

}  // namespace mirano::testing
