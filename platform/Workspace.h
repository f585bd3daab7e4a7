// The desktop's view of running applications: which one is frontmost, activations, desktop
// changes, and looking up and activating an application by process id.
#pragma once

#include "platform/Types.h"

#include <QObject>
#include <QString>
#include <optional>

namespace mirano {

/// A running application found by its process id.
struct RunningApplication {
    ProcessID pid = 0;
    /// The application's bundle identifier (on X11: the WM_CLASS class of its client window);
    /// nothing when it has none.
    std::optional<QString> bundleIdentifier;
    bool operator==(const RunningApplication&) const = default;
};

/// Options of activate(): 1 brings all of the application's windows forward.
inline constexpr unsigned kActivateAllWindows = 1;

/// An application-activation notification. The application entry may be missing.
struct ActivationNotification {
    std::optional<ProcessID> applicationPID;
};

/// Main thread only; the signals are emitted on the main thread.
class Workspace : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~Workspace() override = default;

    /// The process id of the application that owns keyboard focus, if any.
    virtual std::optional<ProcessID> frontmostApplicationPID() = 0;
    /// The running application with that process id, or nothing when there is none.
    virtual std::optional<RunningApplication> runningApplication(ProcessID pid) = 0;
    /// Brings the application to the front with the given options.
    virtual void activate(const RunningApplication& application, unsigned options) = 0;

signals:
    /// Another application became frontmost.
    void didActivateApplication(const mirano::ActivationNotification& notification);
    /// The active desktop changed (also: the focused window entered or left full screen).
    void activeSpaceDidChange();
};

}  // namespace mirano
