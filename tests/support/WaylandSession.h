// A private Wayland desktop for integration tests: its own user and session bus, and as asked
// PipeWire with WirePlumber and a headless sway, with swaymsg and grim as the oracles.
#pragma once

#include <QImage>
#include <QJsonObject>
#include <QProcessEnvironment>
#include <QRect>
#include <QString>
#include <QStringList>
#include <forward_list>
#include <functional>
#include <memory>
#include <optional>

#include "tests/support/ChildProcess.h"
#include "tests/support/TestUser.h"

namespace mirano::testing {

/// What a WaylandSession starts (outside the class, so that `{}` can be a default argument).
struct WaylandSessionOptions {
    bool sway = true;
    /// PipeWire and WirePlumber, for window streams.
    bool pipewire = false;
    /// sway `output` commands ("HEADLESS-1 scale 2 position 0 0" each) for that many headless
    /// outputs; none: one output of kWidth × kHeight. Outputs named WL-n are windows of a parent
    /// headless sway instead (wlroots' Wayland backend), so that one can be unplugged.
    QStringList outputs;
};

/// Everything runs as a TestUser (compositors refuse root), with a private session bus that
/// admits the test itself too. sway runs on the headless backend with the pixman renderer, one
/// output of kWidth × kHeight unless asked (WL-n outputs: inside a parent sway). Everything it
/// starts stops with it, the last started first.
/// Another compositor (KWinSession) can derive from it, with `sway` off.
class WaylandSession {
public:
    using Options = WaylandSessionOptions;
    static constexpr int kWidth = 1280, kHeight = 720;

    explicit WaylandSession(Options options = {});
    virtual ~WaylandSession() = default;

    /// Empty when everything started; otherwise why not.
    QString error() const { return error_; }
    /// The user's XDG_RUNTIME_DIR, where the sockets are.
    QString runtimeDir() const { return user_->runtimeDir(); }
    /// The compositor's socket, as an absolute path (usable as WAYLAND_DISPLAY by anyone).
    QString waylandDisplay() const { return waylandDisplay_; }
    QString busAddress() const { return busAddress_; }
    /// WirePlumber, while it runs (null without PipeWire).
    ChildProcess* sessionManager() const { return sessionManager_; }

    /// The environment of the session's programs: the user's, the bus, XDG directories of their
    /// own in the runtime directory (never the developer's), and the test's sanitizer options.
    QProcessEnvironment environment() const;
    /// What a Wayland client of this session needs: environment() plus the display and Qt's
    /// Wayland platform.
    QProcessEnvironment clientEnvironment() const;
    /// Starts `program` as the session's user with environment(); standard output is readable
    /// unless discarded.
    ChildProcess* spawn(const QString& program, const QStringList& args, bool discard = false);
    /// Runs `program` as the session's user to completion (bounded); its standard output.
    QString run(const QString& program, const QStringList& args) const;
    /// Starts a client with `environment` (clientEnvironment() when none), as the user running
    /// the tests (who can reach both the compositor's socket and the build tree, which the test
    /// user may not); standard output is readable.
    ChildProcess* startClient(const QString& program, const QStringList& args,
                              const std::optional<QProcessEnvironment>& environment = {});

    /// sway's IPC socket (empty without sway).
    QString swaySocket() const { return swaySocket_; }
    /// Runs one sway command; true when sway reports success.
    bool command(const QString& command) const;
    /// Closes the parent's window of output `output` (a WL-n), which takes that output from sway
    /// as an unplugging does; true once sway has lost it.
    bool unplug(const QString& output) const;
    /// The first view (window) in the tree whose app_id is `appId`.
    std::optional<QJsonObject> view(const QString& appId) const;
    /// The app_id of the focused view; empty when no view has the focus.
    QString focusedAppId() const;
    /// A screenshot of `area` (everything when empty), or of the output named, taken by grim.
    QImage screenshot(const QRect& area = {}, const QString& output = {}) const;
    /// Presses and releases the key named `key` (an XKB keysym name) on a new virtual keyboard,
    /// through wtype; true when that ran. The keyboard's first key makes sway send the client
    /// its keymap and focus again, and Qt loses a key that follows at once: a Shift tap goes
    /// first, 0.3 s ahead (wtype's own pacing; nothing the test could wait for).
    bool pressKey(const QString& key) const;

protected:
    ChildProcess* keep(std::unique_ptr<ChildProcess> child);
    /// Waits (bounded) until `ready` holds; false at once when `process` ends first.
    static bool startedWhen(ChildProcess* process, const std::function<bool()>& ready,
                            int timeoutMs = 20000);

    QString error_, waylandDisplay_;

private:
    bool startBus();
    bool startPipeWire();
    bool startSway(const QStringList& outputs);
    /// Starts sway as `name` (its IPC socket and config file so named) with `config` and `env`;
    /// its Wayland socket, empty when it did not start.
    QString launchSway(const QString& name, const QString& config, QProcessEnvironment env);
    /// Runs swaymsg with `args` (bounded); its standard output, nothing when it failed.
    std::optional<QByteArray> swaymsg(const QStringList& args) const;
    /// sway's tree of outputs, workspaces and views.
    QJsonObject tree() const;

    std::unique_ptr<TestUser> user_;
    QString swaySocket_, busAddress_;
    /// The IPC socket of the parent sway of WL-n outputs.
    QString parentSocket_;
    /// Destroyed from its front: the last started stops first.
    std::forward_list<std::unique_ptr<ChildProcess>> children_;
    ChildProcess* sessionManager_ = nullptr;
};

/// The session of a test linked with the Wayland GUI test main, sway's or KWin's (null
/// elsewhere).
extern WaylandSession* gWayland;

}  // namespace mirano::testing
