// The one-window list entry on X11: client-area geometry in root coordinates.
#pragma once

#include "platform/WindowList.h"

namespace mirano::x11 {

class X11Desktop;

class X11WindowList final : public WindowList {
public:
    explicit X11WindowList(X11Desktop& desktop);
    /// Only kWindowListOptionIncludingWindow is supported (nothing for other options).
    std::optional<std::vector<WindowDescription>> copyWindowInfo(unsigned option,
                                                                 WindowNumber windowID) override;

private:
    X11Desktop& desktop_;
};

}  // namespace mirano::x11
