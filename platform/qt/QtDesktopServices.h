// The services Qt provides on every backend: scheduler, defaults, notifications, screens, the
// autostart entry and the application object.
#pragma once

#include "platform/DesktopServices.h"

namespace mirano {

class QtDesktopServices final : public DesktopServices {
public:
    std::unique_ptr<Scheduler> makeScheduler() override;
    /// The user's defaults file (JsonDefaultsStore::defaultPath()).
    std::unique_ptr<DefaultsStore> makeDefaults() override;
    /// Over the session bus.
    std::unique_ptr<Notifications> makeNotifications() override;
    std::unique_ptr<Screens> makeScreens() override;
    /// The XDG autostart entry of the running program (XdgAutostart::defaultPath()).
    std::unique_ptr<Autostart> makeAutostart() override;
    std::unique_ptr<Application> makeApplication(Taskbar& taskbar) override;
};

}  // namespace mirano
