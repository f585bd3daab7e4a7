// Taskbar entries on X11: the window manager's _NET_WM_STATE_SKIP_TASKBAR, asked through EWMH.
#pragma once

#include "platform/Taskbar.h"

namespace mirano::x11 {

/// Works on Qt's own X connection, so that the request follows Qt's mapping of the window.
/// Does nothing where Qt does not run on X11. Main thread only.
class X11Taskbar final : public Taskbar {
public:
    void setListed(QWindow& window, bool listed) override;
};

}  // namespace mirano::x11
