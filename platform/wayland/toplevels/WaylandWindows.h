// The window services of Wayland desktops, with the list the capture service names windows from.
#pragma once

#include <QList>

#include "platform/Windows.h"

namespace mirano::wayland {

/// A window service that also lists the windows it knows, so that a capture can name any of
/// them with the application its consent is kept under, whichever way the desktop tells them.
class WaylandWindows : public Windows {
public:
    using Windows::Windows;

    /// Every window a capture may name. Main thread only.
    virtual QList<SourceWindow> listedWindows() const = 0;
};

}  // namespace mirano::wayland
