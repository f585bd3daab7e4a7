// Finding the focused window of the frontmost application, measuring windows and bringing a
// window back to the front, as short sequences of platform calls.
#pragma once

#include "platform/Accessibility.h"
#include "platform/Types.h"
#include "platform/WindowServer.h"

#include <QRectF>
#include <optional>

namespace mirano {

class Workspace;
class WindowList;
class Screens;

/// The focused window: its element, its window number (never 0) and its owner's process id.
struct FocusedWindow {
    WindowElement element;
    WindowNumber windowID = 0;
    ProcessID pid = 0;
    bool operator==(const FocusedWindow&) const = default;
};

/// Keeps no state between calls. Main thread only.
class WindowHelpers {
public:
    WindowHelpers(Workspace& workspace, Accessibility& accessibility, WindowList& windowList,
                  Screens& screens, WindowServer& windowServer);

    /// Helpers on the real platform services.
    static WindowHelpers& shared();

    /// The focused window of the frontmost application (Mirano itself included), or nothing.
    std::optional<FocusedWindow> focusedWindow() const;
    /// Whether the frontmost application's focused window is full screen; false on any failure.
    bool isFocusedWindowFullScreen() const;
    /// The window's frame in screen points (origin bottom-left of the primary screen), or
    /// nothing when the window list has no complete bounds or no screen can be used for the flip.
    std::optional<QRectF> windowFrame(WindowNumber windowID) const;
    /// Un-minimises the window, only when it reports being minimised.
    void unminimizeWindow(WindowElement element) const;
    /// Posts the record that makes `windowID` the key window of the process.
    void postWindowEventRecord(const ProcessSerialNumber& psn, WindowNumber windowID) const;

    /// Brings a window of process `pid` to the front, un-minimising it, and activates the
    /// process. `cachedWindowID` is used when present and not 0; otherwise the element's number
    /// is resolved. Returns the number resolved this way (for the caller to cache), or nothing
    /// when none was resolved (the cached one was used, or resolution failed and only the
    /// application was activated).
    std::optional<WindowNumber> bringWindowToFront(ProcessID pid, WindowElement element,
                                                   std::optional<WindowNumber> cachedWindowID) const;

    /// The 248-byte record for `windowID`: byte 4 = 0xF8, byte 8 = 0x01, byte 58 = 0x10,
    /// bytes 60-63 = the number, most significant byte first; all others 0.
    static WindowEventRecord windowEventRecord(WindowNumber windowID);

private:
    /// The frontmost application's pid and focused window element.
    std::optional<std::pair<ProcessID, WindowElement>> frontmostFocusedElement() const;
    void activateApplication(ProcessID pid) const;

    Workspace& workspace_;
    Accessibility& accessibility_;
    WindowList& windowList_;
    Screens& screens_;
    WindowServer& windowServer_;
};

}  // namespace mirano
