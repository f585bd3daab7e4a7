// Finding the focused window, measuring windows and giving a window back to the user.
#pragma once

#include <QRectF>
#include <optional>

#include "platform/Windows.h"

namespace mirano {

/// Keeps no state between calls. Main thread only.
class WindowHelpers {
public:
    explicit WindowHelpers(Windows& windows);

    /// Helpers on the real platform services.
    static WindowHelpers& shared();

    /// The focused window (Mirano's own included, its key panels looked through), or nothing.
    std::optional<SourceWindow> focusedWindow() const;
    /// Whether the focused window is full screen; false when there is none.
    bool isFocusedWindowFullScreen() const;
    /// The window's frame in logical pixels, or nothing when it is gone.
    std::optional<QRectF> windowFrame(WindowNumber windowID) const;
    /// Un-minimises the window (only when it is minimised), then asks for that very window to
    /// be raised and focused.
    void bringWindowToFront(WindowNumber windowID) const;

private:
    Windows& windows_;
};

}  // namespace mirano
