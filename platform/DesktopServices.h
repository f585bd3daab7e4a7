// The factory of the services that are the same on every window system.
#pragma once

#include <memory>

namespace mirano {

class Application;
class Autostart;
class DefaultsStore;
class Notifications;
class Scheduler;
class Screens;
class Taskbar;

/// Built by Qt on every backend. The platform builds each service once, on the main thread.
class DesktopServices {
public:
    virtual ~DesktopServices() = default;
    virtual std::unique_ptr<Scheduler> makeScheduler() = 0;
    virtual std::unique_ptr<DefaultsStore> makeDefaults() = 0;
    virtual std::unique_ptr<Notifications> makeNotifications() = 0;
    virtual std::unique_ptr<Screens> makeScreens() = 0;
    virtual std::unique_ptr<Autostart> makeAutostart() = 0;
    /// The application lists its windows in the taskbar through `taskbar`, which outlives it.
    virtual std::unique_ptr<Application> makeApplication(Taskbar& taskbar) = 0;
};

}  // namespace mirano
