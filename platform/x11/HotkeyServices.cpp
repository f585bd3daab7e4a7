// The real keyboard services: the layout of the display and event taps on it.
#include "platform/Platform.h"
#include "platform/x11/X11EventTap.h"
#include "platform/x11/XkbKeyboardLayout.h"

namespace mirano {

KeyboardLayout& Platform::keyboardLayout() {
    static auto* layout = new x11::XkbKeyboardLayout();
    return *layout;
}

std::unique_ptr<EventTap> Platform::makeEventTap() { return std::make_unique<x11::X11EventTap>(); }

}  // namespace mirano
