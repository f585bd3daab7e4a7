// Every service the PiP controller and the window helpers use, handed over at construction.
#pragma once

namespace mirano {

class Scheduler;
class AppSettings;
class CaptureService;
class PanelWindowSystem;
class Windows;
class Screens;
class Permissions;
class Application;

/// References only: the services outlive the controller.
struct PiPServices {
    Scheduler& scheduler;
    AppSettings& settings;
    CaptureService& captureService;
    PanelWindowSystem& panelWindowSystem;
    Windows& windows;
    Screens& screens;
    Permissions& permissions;
    Application& application;

    /// The real services of this process and the shared settings.
    static PiPServices real();
};

}  // namespace mirano
