// A private X display for integration tests: Xvfb plus Openbox (and optionally xcompmgr),
// started on a free display number and stopped with everything it started; bounded waits, and
// xdotool on $DISPLAY for what a user asks of the window manager.
#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <forward_list>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "tests/support/ChildProcess.h"

namespace mirano::testing {

/// How an X11Session starts (outside the class, so that `{}` can be a default argument).
struct X11SessionOptions {
    int width = 1280, height = 800;
    bool windowManager = true, compositor = false;
    /// The X server runs in an IPC namespace of its own (as a server on another host would): it
    /// cannot attach our shared memory.
    bool separateIpc = false;
    /// No RENDER extension, as on some remote or virtual displays.
    bool withoutRender = false;
    /// X screens of that size. With more than one the display name names the last (":N.1"), so
    /// that the default screen is not the first; the window manager runs there.
    int screens = 1;
    /// RandR monitors that split the root window ("NAME WxH+X+Y" each; the first is primary),
    /// which then is as large as they need; Xvfb's own monitor over the whole root goes.
    QStringList monitors;
};

class X11Session {
public:
    using Options = X11SessionOptions;
    explicit X11Session(Options options = {});
    ~X11Session();

    /// Empty when everything started; otherwise why not.
    QString error() const { return error_; }
    /// ":N", or ":N.S" with several screens
    QString display() const { return display_; }

    /// Starts a helper program on this display (in `environment` if given); it is stopped when
    /// the session ends.
    ChildProcess* spawn(const QString& program, const QStringList& args,
                        const std::optional<QProcessEnvironment>& environment = std::nullopt);
    /// The path of one of our own built programs (test client, probes) in the build tree.
    static QString builtProgram(const QString& relativePath);

    /// Starts or stops the compositing manager.
    bool startCompositor();
    void stopCompositor();

private:
    void start();
    bool windowManagerManages();

    Options options_;
    QString error_, display_;
    QByteArray previousDisplay_;
    std::unique_ptr<ChildProcess> xvfb_, wm_, compositor_;
    /// Destroyed from its front: the last started stops first.
    std::forward_list<ChildProcess> spawned_;
};

/// Polls `condition` (processing Qt events meanwhile) until it holds or `timeoutMs` passes.
bool waitUntil(const std::function<bool()>& condition, int timeoutMs = 5000);

/// The permission bits (octal, with 01000 for "marked for removal") of each shared-memory
/// segment that process `pid` created and that still exists.
std::vector<int> shmSegmentsOf(qint64 pid);

/// Runs xdotool with the arguments (bounded); its standard output, nothing when it failed.
inline std::optional<QString> xdotool(const QStringList& args) {
    const auto out = ChildProcess::run("xdotool", args);
    return out ? std::optional(QString::fromLocal8Bit(*out)) : std::nullopt;
}
/// Runs xrandr with the arguments (bounded); false when it failed.
inline bool xrandr(const QStringList& args) { return bool(ChildProcess::run("xrandr", args)); }
/// Defines (or redefines) RandR monitor `name` ("WxH+X+Y", no outputs); `primary` makes it the
/// primary one.
bool setMonitor(const QString& name, const QString& geometry, bool primary = false);

/// The window the window manager has made active (0: none).
inline uint activeWindow() { return xdotool({"getactivewindow"}).value_or("0").trimmed().toUInt(); }
/// Has the window manager activate `window` and give it the focus; false when it did not.
inline bool activate(unsigned window) {
    const QString w = QString::number(window);
    return xdotool({"windowactivate", "--sync", w}) && xdotool({"windowfocus", "--sync", w});
}

/// The display session of a test linked with the X11 GUI test main (null elsewhere).
extern X11Session* gSession;
}  // namespace mirano::testing
