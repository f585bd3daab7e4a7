// A private desktop session for Wayland tests: a session bus, PipeWire and WirePlumber, run as
// a TestUser (a throw-away account when the tests run as root, as in CI), stopped with all it
// started.
//
// The test binary itself stays the user it was started as: the bus admits it besides the
// session's user, and root reaches the session's sockets. Programs that must not run as root
// (compositors) are started through spawn(), which runs them as the session's user.
#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <vector>

#include "tests/support/ChildProcess.h"
#include "tests/support/TestUser.h"

namespace mirano::testing {

class WaylandSession {
public:
    struct Options {
        /// Starts PipeWire and WirePlumber besides the bus.
        bool pipewire = true;
    };
    WaylandSession();
    explicit WaylandSession(Options options);
    /// Stops every program (the last started first), then the user goes with its runtime
    /// directory.
    ~WaylandSession();
    WaylandSession(const WaylandSession&) = delete;
    WaylandSession& operator=(const WaylandSession&) = delete;

    /// Empty when everything started; otherwise why not.
    QString error() const { return error_; }
    /// The session's XDG_RUNTIME_DIR (mode 0700, owned by the session's user).
    QString runtimeDir() const { return user_.runtimeDir(); }
    /// The private session bus, "unix:path=…".
    QString busAddress() const { return busAddress_; }
    /// The environment of the session's programs: runtime, bus, and XDG directories of their
    /// own (never the developer's), plus the test's own variables (sanitizer options).
    QProcessEnvironment environment() const;

    /// Starts `program` as the session's user; it is stopped when the session ends.
    ChildProcess* spawn(const QString& program, const QStringList& args,
                        bool discardOutput = false);
    /// Runs `program` as the session's user to completion (bounded); its standard output.
    QString run(const QString& program, const QStringList& args, int timeoutMs = 10000,
                int* exitCode = nullptr);

private:
    void start();
    bool startBus();
    bool startPipeWire();
    std::unique_ptr<ChildProcess> launch(const QString& program, const QStringList& args,
                                         bool discardOutput) const;

    Options options_;
    TestUser user_;
    QString error_;
    QString busAddress_;
    std::unique_ptr<ChildProcess> bus_;
    std::unique_ptr<ChildProcess> pipewire_;
    std::unique_ptr<ChildProcess> wireplumber_;
    std::vector<std::unique_ptr<ChildProcess>> spawned_;
};

/// The path of one of our own built programs in the build tree.
QString builtTestProgram(const QString& relativePath);

}  // namespace mirano::testing
