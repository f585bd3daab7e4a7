// A helper program started by a test, with pipes to its standard input and output.
//
// Started with posix_spawn rather than QProcess: ThreadSanitizer loses track of the test's
// own mutexes once Qt has started a child the way QProcess does, and then reports races that
// are not there.
#pragma once

#include <sys/types.h>

#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <optional>

namespace mirano::testing {

/// How a ChildProcess starts (outside the class, so that `{}` can be a default argument).
struct ChildProcessOptions {
    /// The child's whole environment (the test's own when empty).
    std::optional<QProcessEnvironment> environment;
    /// Standard output goes to /dev/null instead of a pipe we must read.
    bool discardOutput = false;
};

class ChildProcess {
public:
    using Options = ChildProcessOptions;
    /// Starts `program` (looked up in PATH); its standard error is the test's own.
    ChildProcess(const QString& program, const QStringList& args, const Options& options = {});
    /// Stops the child (SIGTERM, then SIGKILL) if it still runs.
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    qint64 processId() const { return pid_; }
    bool running();
    /// Exit status once finished: the code of a normal exit, -1 after a signal or while running.
    int exitCode() const { return exitCode_; }

    void write(const QByteArray& data);
    /// What the child printed and was not taken yet.
    QByteArray readAllStandardOutput();
    /// Waits (bounded) for the next whole line; it without its newline and surrounding spaces,
    /// empty when none came.
    QString readLine(int timeoutMs = 10000);
    /// Waits (bounded) for the child to end, reading its output meanwhile.
    bool waitForFinished(int timeoutMs);

    /// Runs `program` to completion (bounded), reading its output meanwhile; that output, or
    /// nothing when it did not end with exit code 0.
    static std::optional<QByteArray> run(const QString& program, const QStringList& args,
                                         const Options& options = {});

    /// SIGTERM, then SIGKILL if it has not ended within 3 s.
    void stop();

private:
    void drain();
    bool reap(bool block);
    pid_t pid_ = -1;
    int in_ = -1, out_ = -1, exitCode_ = -1;
    bool finished_ = false;
    QByteArray output_;
};

}  // namespace mirano::testing
