// The real platform services of this process, built from the chosen backend and the Qt services.
#pragma once

#include <memory>

namespace mirano {

class Application;
class Autostart;
class Backend;
class CaptureService;
class DefaultsStore;
class DesktopServices;
class EventTap;
class KeyboardLayout;
class Notifications;
class PanelWindowSystem;
class Permissions;
class Scheduler;
class Screens;
class Taskbar;
class Windows;

/// The process-wide `shared` instances are built from Platform::real(). Tests never call it:
/// they hand fakes to the constructors (or build a Platform of their own). Each accessor builds
/// its service on first use, on the main thread, and keeps it as long as the platform.
class Platform {
public:
    Platform(std::unique_ptr<Backend> backend, std::unique_ptr<DesktopServices> desktop);
    ~Platform();
    Platform(const Platform&) = delete;
    Platform& operator=(const Platform&) = delete;

    /// Makes the platform of this process, kept until the process ends. Once, at start-up.
    static Platform& startReal(std::unique_ptr<Backend> backend,
                               std::unique_ptr<DesktopServices> desktop);
    /// The platform of this process; startReal() must have run.
    static Platform& real();

    Backend& backend() { return *backend_; }

    Scheduler& scheduler();
    DefaultsStore& defaults();
    KeyboardLayout& keyboardLayout();
    /// A new event tap for one hotkey manager.
    std::unique_ptr<EventTap> makeEventTap();
    CaptureService& captureService();
    Windows& windows();
    Screens& screens();
    Permissions& permissions();
    PanelWindowSystem& panelWindowSystem();
    Notifications& notifications();
    Autostart& autostart();
    Application& application();

private:
    // The factories first: every service goes before them, and a service before those it uses.
    std::unique_ptr<Backend> backend_;
    std::unique_ptr<DesktopServices> desktop_;
    std::unique_ptr<Scheduler> scheduler_;
    std::unique_ptr<DefaultsStore> defaults_;
    std::unique_ptr<Notifications> notifications_;
    std::unique_ptr<Autostart> autostart_;
    std::unique_ptr<Screens> screens_;
    std::unique_ptr<Taskbar> taskbar_;
    std::unique_ptr<Application> application_;
    std::unique_ptr<KeyboardLayout> keyboardLayout_;
    std::unique_ptr<Windows> windows_;
    std::unique_ptr<PanelWindowSystem> panelWindowSystem_;
    std::unique_ptr<CaptureService> captureService_;
    std::unique_ptr<Permissions> permissions_;
};

}  // namespace mirano
