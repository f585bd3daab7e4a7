// A window-system backend: the factory of every service that depends on the window system.
#pragma once

#include <QString>
#include <memory>
#include <vector>

namespace mirano {

class CaptureService;
class EventTap;
class GlobalShortcuts;
class KeyboardLayout;
class Notifications;
class PanelWindowSystem;
class Permissions;
class Scheduler;
class Taskbar;
class Windows;

/// One per window system (X11, Wayland). The platform builds each service once, on the main thread,
/// after the Qt application exists, and destroys it before the backend.
class Backend {
public:
    virtual ~Backend() = default;

    /// The name MIRANO_BACKEND chooses it by ("x11", "wayland").
    virtual QString name() const = 0;
    /// Whether this session offers the backend's window system.
    virtual bool canRun() const = 0;
    /// What must be settled before the Qt application exists (such as Qt's platform plugin).
    virtual void prepareApplication() = 0;
    /// The window-system session this process works in, one Mirano each.
    virtual QString sessionName() const = 0;

    virtual std::unique_ptr<Windows> makeWindows() = 0;
    virtual std::unique_ptr<KeyboardLayout> makeKeyboardLayout() = 0;
    /// A new event tap for one hotkey manager.
    virtual std::unique_ptr<EventTap> makeEventTap() = 0;
    /// Completions are posted through `scheduler`, which outlives the service.
    virtual std::unique_ptr<CaptureService> makeCaptureService(Scheduler& scheduler) = 0;
    /// What is missing is told through `notifications`, which outlive the service.
    virtual std::unique_ptr<Permissions> makePermissions(Notifications& notifications) = 0;
    virtual std::unique_ptr<PanelWindowSystem> makePanelWindowSystem() = 0;
    virtual std::unique_ptr<Taskbar> makeTaskbar() = 0;
    /// The shortcuts the desktop binds for Mirano, not yet bound. Null (the default) where the
    /// event tap takes Mirano's hotkeys itself or the desktop offers no such shortcuts.
    virtual std::unique_ptr<GlobalShortcuts> makeGlobalShortcuts();
};

/// The first of `candidates` that can run in this session; when none can, the first, whose start
/// then says what is missing. Null only when there is no candidate.
std::unique_ptr<Backend> chooseBackend(std::vector<std::unique_ptr<Backend>> candidates);

/// The candidate named `requested` whether it can run or not (its start then says what is
/// missing), or with `requested` empty the choice above. Null, with `error` saying why, when no
/// candidate has that name.
std::unique_ptr<Backend> chooseBackend(std::vector<std::unique_ptr<Backend>> candidates,
                                       const QString& requested, QString* error);

}  // namespace mirano
