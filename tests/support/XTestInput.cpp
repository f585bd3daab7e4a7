#include "tests/support/XTestInput.h"

#include <xcb/xtest.h>

#include <iterator>

namespace mirano::testing {

XTestInput::~XTestInput() {
    if (held_) releaseButton(held_);
}

void XTestInput::press(std::uint8_t keycode) { fake(XCB_KEY_PRESS, keycode); }

void XTestInput::release(std::uint8_t keycode) { fake(XCB_KEY_RELEASE, keycode); }

void XTestInput::chord(std::initializer_list<std::uint8_t> keycodes) {
    for (auto k : keycodes) press(k);
    for (auto it = std::rbegin(keycodes); it != std::rend(keycodes); ++it) release(*it);
}

void XTestInput::sync() {
    x11::reply(xcb_get_input_focus_reply(conn_.get(), xcb_get_input_focus(conn_.get()), nullptr));
}

void XTestInput::moveTo(QPoint p) {
    pointer_ = p;
    fake(XCB_MOTION_NOTIFY, 0, conn_.root(), p);
    sync();
}

void XTestInput::pressButton(int button) {
    fake(XCB_BUTTON_PRESS, uint8_t(held_ = button));
    sync();
}

void XTestInput::releaseButton(int button) {
    held_ = 0;
    fake(XCB_BUTTON_RELEASE, uint8_t(button));
    sync();
}

void XTestInput::click(int button) {
    pressButton(button);
    releaseButton(button);
}

void XTestInput::fake(std::uint8_t type, std::uint8_t detail, xcb_window_t root, QPoint at) {
    xcb_test_fake_input(conn_.get(), type, detail, XCB_CURRENT_TIME, root, int16_t(at.x()),
                        int16_t(at.y()), 0);
    xcb_flush(conn_.get());
}

}  // namespace mirano::testing
