// Window attributes and actions mapped to EWMH state and window-manager requests.
#include "platform/x11/X11Accessibility.h"

#include "platform/x11/X11Desktop.h"

namespace mirano::x11 {

X11Accessibility::X11Accessibility(X11Desktop& desktop) : desktop_(desktop) {}

WindowElement X11Accessibility::applicationElement(ProcessID pid) {
    return WindowElement{kApplicationTag | static_cast<std::uint32_t>(pid)};
}

std::uint32_t X11Accessibility::windowOf(WindowElement element) {
    if (element.handle & kApplicationTag) return XCB_NONE;
    if (element.handle > 0xFFFFFFFFull) return XCB_NONE;
    return static_cast<std::uint32_t>(element.handle);
}

AXAttributeResult X11Accessibility::copyAttributeValue(WindowElement element,
                                                       const QString& attribute) {
    if (!desktop_.isValid()) return {kAXErrorFailure, std::nullopt};
    if (element.handle & kApplicationTag) {
        if (attribute != kAXFocusedWindowAttribute)
            return {kAXErrorAttributeUnsupported, std::nullopt};
        const auto pid = static_cast<ProcessID>(element.handle & 0xFFFFFFFFull);
        xcb_window_t window = desktop_.activeWindow();
        if (window == XCB_NONE || desktop_.windowPid(window) != pid)
            window = desktop_.topClientOf(pid);
        if (window == XCB_NONE) return {kAXErrorNoValue, std::nullopt};
        return {kAXErrorSuccess, AXValue{WindowElement{window}}};
    }
    const xcb_window_t window = windowOf(element);
    if (!desktop_.windowExists(window)) return {kAXErrorInvalidUIElement, std::nullopt};
    if (attribute == kAXFullScreenAttribute)
        return {kAXErrorSuccess, AXValue{AXBoolean{desktop_.hasState(window,
                                                                     "_NET_WM_STATE_FULLSCREEN")}}};
    if (attribute == kAXMinimizedAttribute)
        return {kAXErrorSuccess,
                AXValue{AXBoolean{desktop_.hasState(window, "_NET_WM_STATE_HIDDEN")}}};
    return {kAXErrorAttributeUnsupported, std::nullopt};
}

void X11Accessibility::setAttributeValue(WindowElement element, const QString& attribute,
                                         const AXValue& value) {
    const xcb_window_t window = windowOf(element);
    if (window == XCB_NONE || attribute != kAXMinimizedAttribute) return;
    const auto minimized = axBooleanValue(value);
    if (!minimized) return;
    if (*minimized) {
        desktop_.requestIconify(window);
    } else {
        // Mapping an iconic window brings it back to the normal state; the activation request
        // makes the window manager show it on the current desktop.
        desktop_.mapWindow(window);
        desktop_.requestActivate(window);
    }
}

void X11Accessibility::performAction(WindowElement element, const QString& action) {
    const xcb_window_t window = windowOf(element);
    if (window == XCB_NONE || action != kAXRaiseAction) return;
    desktop_.requestRaise(window);
}

std::pair<AXError, WindowNumber> X11Accessibility::windowNumber(WindowElement element) {
    const xcb_window_t window = windowOf(element);
    if (!desktop_.windowExists(window)) return {kAXErrorInvalidUIElement, 0};
    return {kAXErrorSuccess, window};
}

}  // namespace mirano::x11
