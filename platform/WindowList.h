// Describing one window as the window server sees it.
#pragma once

#include "platform/Types.h"

#include <optional>
#include <vector>

namespace mirano {

/// Option of copyWindowInfo(): describe only the given window.
inline constexpr unsigned kWindowListOptionIncludingWindow = 8;

/// Bounds in global points, origin at the top-left of the primary screen, y down. Each entry
/// may be missing.
struct WindowBounds {
    std::optional<double> x;
    std::optional<double> y;
    std::optional<double> width;
    std::optional<double> height;
};

/// One window description. `bounds` is nothing when the entry has no bounds dictionary (or one
/// of the wrong shape).
struct WindowDescription {
    std::optional<WindowBounds> bounds;
};

class WindowList {
public:
    virtual ~WindowList() = default;
    /// The descriptions for `option` and `windowID`; nothing when the list cannot be had.
    virtual std::optional<std::vector<WindowDescription>> copyWindowInfo(unsigned option,
                                                                          WindowNumber windowID) = 0;
};

}  // namespace mirano
