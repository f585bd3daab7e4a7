// Keeps Mirano to one instance per user and session; a later launch hands its request over.
#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <memory>

class QLocalServer;

namespace mirano {

/// What a later launch asks of the running Mirano (its command line: CommandLine).
enum class InstanceRequest {
    /// Open the settings window (a plain second launch).
    openSettings,
    /// Mirror the focused window, or close the PiP of it (what the hotkey does).
    toggle,
    /// Start the region selection over the focused window.
    region,
    /// Hide or show the PiP.
    hide,
    quit,
};

/// The first instance holds a lock file and listens on a local socket next to it, both in a
/// folder private to the user and named after the window-system session. A later launch finds the
/// lock taken and hands the holder its request through the socket: one line, "open-settings",
/// "toggle", "region", "hide" or "quit", answered "ok" once taken. The kernel
/// drops the lock when its holder dies, so nothing stale is left after a crash. Nothing another
/// user controls is trusted: not a folder others may write, not a lock or socket file of theirs,
/// not a peer process of theirs. Main thread only.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    /// `directory` holds the lock and the socket (none: no rule, every launch runs); `session`
    /// names the window-system session (the backend's).
    SingleInstance(QString directory, const QString& session, QObject* parent = nullptr);
    ~SingleInstance() override;

    /// The first private folder (owned by this user, writable by nobody else) of
    /// $XDG_RUNTIME_DIR, $TMPDIR/mirano-<uid> and $XDG_CACHE_HOME/mirano (the last two made
    /// when missing). Says in one line when the runtime folder is passed over, or when none
    /// fits and single instance is off (empty).
    static QString defaultDirectory();

    /// Takes the lock; false when another instance holds it. A lock file that cannot be made or
    /// is not this user's turns single instance off, said in one line, and Mirano runs.
    /// Needs no Qt application.
    bool claim();
    /// The holder starts answering later launches (call once the Qt application exists).
    bool listen();
    /// Stops answering (before the Qt application goes); the lock stays until destruction.
    void stopListening();
    /// Whether another instance holds the lock now, without taking it. Needs no Qt application.
    bool isHeld() const;
    /// Sends `request` to the instance holding the lock and waits (bounded) for its answer;
    /// false when it does not answer or is another user's process, which is never sent the
    /// request. Needs no Qt application.
    bool ask(InstanceRequest request, int timeoutMs = 5000) const;

    /// A later launch asked for something; runs after the answer went out.
    std::function<void(InstanceRequest)> onRequest;

    QString lockPath() const { return base_ + QStringLiteral(".lock"); }
    QString socketPath() const { return base_ + QStringLiteral(".socket"); }

private:
    QString base_;
    int lockFd_ = -1;
    std::unique_ptr<QLocalServer> server_;
};

}  // namespace mirano
