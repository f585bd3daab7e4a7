// The window helpers: each operation is a fixed sequence of platform calls.
#include "pip/WindowHelpers.h"

#include "platform/Platform.h"
#include "platform/Screens.h"
#include "platform/WindowList.h"
#include "platform/Workspace.h"

namespace mirano {

WindowHelpers::WindowHelpers(Workspace& workspace, Accessibility& accessibility,
                             WindowList& windowList, Screens& screens, WindowServer& windowServer)
    : workspace_(workspace),
      accessibility_(accessibility),
      windowList_(windowList),
      screens_(screens),
      windowServer_(windowServer) {}

WindowHelpers& WindowHelpers::shared() {
    auto& p = Platform::real();
    static auto* helpers = new WindowHelpers(p.workspace(), p.accessibility(), p.windowList(),
                                             p.screens(), p.windowServer());
    return *helpers;
}

std::optional<std::pair<ProcessID, WindowElement>> WindowHelpers::frontmostFocusedElement() const {
    const auto pid = workspace_.frontmostApplicationPID();
    if (!pid) return std::nullopt;
    const WindowElement app = accessibility_.applicationElement(*pid);
    const auto result = accessibility_.copyAttributeValue(app, kAXFocusedWindowAttribute);
    if (result.error != kAXErrorSuccess || !result.value) return std::nullopt;
    const auto* element = std::get_if<WindowElement>(&*result.value);
    if (!element) return std::nullopt;
    return std::make_pair(*pid, *element);
}

std::optional<FocusedWindow> WindowHelpers::focusedWindow() const {
    const auto focused = frontmostFocusedElement();
    if (!focused) return std::nullopt;
    const auto [error, number] = accessibility_.windowNumber(focused->second);
    if (error != kAXErrorSuccess || number == 0) return std::nullopt;
    return FocusedWindow{focused->second, number, focused->first};
}

bool WindowHelpers::isFocusedWindowFullScreen() const {
    const auto focused = frontmostFocusedElement();
    if (!focused) return false;
    const auto result = accessibility_.copyAttributeValue(focused->second, kAXFullScreenAttribute);
    if (result.error != kAXErrorSuccess) return false;
    return axBooleanValue(result.value).value_or(false);
}

std::optional<QRectF> WindowHelpers::windowFrame(WindowNumber windowID) const {
    const auto list = windowList_.copyWindowInfo(kWindowListOptionIncludingWindow, windowID);
    if (!list || list->empty()) return std::nullopt;
    const auto& bounds = list->front().bounds;
    if (!bounds) return std::nullopt;
    if (!bounds->x || !bounds->y || !bounds->width || !bounds->height) return std::nullopt;

    std::optional<ScreenInfo> primary;
    for (const auto& screen : screens_.screens()) {
        if (screen.frame.x() == 0 && screen.frame.y() == 0) {
            primary = screen;
            break;
        }
    }
    if (!primary) primary = screens_.mainScreen();
    // Without any screen there is nothing to flip against.
    if (!primary) return std::nullopt;
    const double h = primary->frame.height();
    return QRectF(*bounds->x, h - *bounds->y - *bounds->height, *bounds->width, *bounds->height);
}

void WindowHelpers::unminimizeWindow(WindowElement element) const {
    const auto result = accessibility_.copyAttributeValue(element, kAXMinimizedAttribute);
    if (result.error != kAXErrorSuccess) return;
    if (axBooleanValue(result.value) != true) return;
    accessibility_.setAttributeValue(element, kAXMinimizedAttribute, AXBoolean{false});
}

WindowEventRecord WindowHelpers::windowEventRecord(WindowNumber windowID) {
    WindowEventRecord record{};
    record[4] = 0xF8;
    record[8] = 0x01;
    record[0x3A] = 0x10;
    record[60] = static_cast<std::uint8_t>(windowID >> 24);
    record[61] = static_cast<std::uint8_t>(windowID >> 16);
    record[62] = static_cast<std::uint8_t>(windowID >> 8);
    record[63] = static_cast<std::uint8_t>(windowID);
    return record;
}

void WindowHelpers::postWindowEventRecord(const ProcessSerialNumber& psn,
                                          WindowNumber windowID) const {
    windowServer_.postEventRecord(psn, windowEventRecord(windowID));
}

void WindowHelpers::activateApplication(ProcessID pid) const {
    if (const auto app = workspace_.runningApplication(pid))
        workspace_.activate(*app, kActivateAllWindows);
}

std::optional<WindowNumber> WindowHelpers::bringWindowToFront(
    ProcessID pid, WindowElement element, std::optional<WindowNumber> cachedWindowID) const {
    std::optional<WindowNumber> resolved;
    WindowNumber number = 0;
    if (cachedWindowID && *cachedWindowID != 0) {
        number = *cachedWindowID;
    } else {
        const auto [error, n] = accessibility_.windowNumber(element);
        if (error != kAXErrorSuccess || n == 0) {
            activateApplication(pid);
            return std::nullopt;
        }
        number = n;
        resolved = n;
    }

    unminimizeWindow(element);

    ProcessSerialNumber psn{0, 0};
    if (windowServer_.getProcessForPID(pid, psn) == kNoErr) {
        windowServer_.setFrontProcessWithOptions(psn, number, kSetFrontUserGenerated);
        postWindowEventRecord(psn, number);
    }

    accessibility_.performAction(element, kAXRaiseAction);
    activateApplication(pid);
    return resolved;
}

}  // namespace mirano
