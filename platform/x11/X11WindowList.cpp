// Describes one window by its geometry on the root window.
#include "platform/x11/X11WindowList.h"

#include "platform/x11/X11Desktop.h"

namespace mirano::x11 {

X11WindowList::X11WindowList(X11Desktop& desktop) : desktop_(desktop) {}

std::optional<std::vector<WindowDescription>> X11WindowList::copyWindowInfo(
    unsigned option, WindowNumber windowID) {
    if (option != kWindowListOptionIncludingWindow || !desktop_.isValid()) return std::nullopt;
    const auto geometry = desktop_.geometryInRoot(windowID);
    if (!geometry) return std::vector<WindowDescription>{};
    WindowBounds bounds{geometry->x(), geometry->y(), geometry->width(), geometry->height()};
    return std::vector<WindowDescription>{WindowDescription{bounds}};
}

}  // namespace mirano::x11
