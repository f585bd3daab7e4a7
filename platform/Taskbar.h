// Whether one of Mirano's titled windows has an entry in the desktop's taskbar.
#pragma once

class QWindow;

namespace mirano {

/// The window manager keeps this state for shown windows, so it is asked through the window
/// system. Main thread only.
class Taskbar {
public:
    virtual ~Taskbar() = default;
    /// Asks for `window` (a shown top-level) to be listed in the taskbar or left out of it.
    virtual void setListed(QWindow& window, bool listed) = 0;
};

}  // namespace mirano
