// The real platform services of this process, built once on first use.
#pragma once

#include <memory>

namespace mirano {

class Scheduler;
class DefaultsStore;
class EventTap;
class KeyboardLayout;
class CaptureService;
class Windows;
class Screens;
class Permissions;
class PanelWindowSystem;
class Notifications;
class Application;

/// The process-wide `shared` instances are built from these. Tests never call real(): they
/// hand fakes to the constructors. Each accessor builds its service on first use, on the main
/// thread, and keeps it until the process ends.
class Platform {
public:
    static Platform& real();

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
    Application& application();

private:
    Platform() = default;
};

}  // namespace mirano
