// A private desktop session for Wayland tests: a TestUser with a session bus and, if asked,
// PipeWire and WirePlumber, stopped with all it started.
//
// The test binary itself stays the user it was started as: the bus admits it besides the
// session's user, and root reaches the session's sockets. Programs that must not run as root
// (compositors) are started through spawn(), which runs them as the session's user.
#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <memory>
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
    WaylandSession() : WaylandSession(Options{}) {}
    explicit WaylandSession(Options options);
    /// Stops every program (the last started first); the user then removes its runtime
    /// directory and, when it made one, its account.
    ~WaylandSession();
    WaylandSession(const WaylandSession&) = delete;
    WaylandSession& operator=(const WaylandSession&) = delete;

    /// Empty when everything started; otherwise why not.
    QString error() const { return error_; }
    const TestUser& user() const { return user_; }
    /// The session's XDG_RUNTIME_DIR (mode 0700, owned by the session's user).
    QString runtimeDir() const { return user_.runtimeDir(); }
    /// The private session bus, "unix:path=…".
    QString busAddress() const { return busAddress_; }
    /// The environment of the session's programs: the user's, the bus, and XDG directories of
    /// their own (never the developer's), plus the test's own variables (sanitizer options).
    QProcessEnvironment environment() const;

    /// Starts `program` as the session's user; it is stopped when the session ends.
    ChildProcess* spawn(const QString& program, const QStringList& args,
                        bool discardOutput = false);
    /// Runs `program` as the session's user to completion (bounded); its standard output.
    QString run(const QString& program, const QStringList& args, int timeoutMs = 10000,
                int* exitCode = nullptr);

protected:
    /// Keeps `program` until the session ends (stopped before those kept earlier).
    ChildProcess* keep(std::unique_ptr<ChildProcess> program);
    QString error_;

private:
    bool startBus();
    bool startPipeWire();

    TestUser user_;
    QString busAddress_;
    std::vector<std::unique_ptr<ChildProcess>> programs_;
};

/// The path of one of our own built programs in the build tree.
QString builtTestProgram(const QString& relativePath);

}  // namespace mirano::testing
