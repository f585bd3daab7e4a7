#include "tests/support/ChildProcess.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDeadlineTimer>
#include <cerrno>
#include <csignal>
#include <utility>
#include <vector>

extern char** environ;

namespace mirano::testing {
namespace {

/// A null-terminated array of C strings, as exec wants, owning its strings.
struct CStrings {
    explicit CStrings(const QStringList& list) {
        for (const QString& s : list) strings.push_back(s.toLocal8Bit());
        for (QByteArray& s : strings) pointers.push_back(s.data());
        pointers.push_back(nullptr);
    }
    std::vector<QByteArray> strings;
    std::vector<char*> pointers;
};

/// Calls `poll` every few milliseconds until it holds or `timeoutMs` passes.
template <typename Poll>
bool pollFor(int timeoutMs, Poll poll) {
    for (QDeadlineTimer deadline(timeoutMs); !poll(); usleep(5000))
        if (deadline.hasExpired()) return false;
    return true;
}

}  // namespace

ChildProcess::ChildProcess(const QString& program, const QStringList& args,
                           const Options& options) {
    // A child that has gone must not take the test with it when we write to it.
    std::signal(SIGPIPE, SIG_IGN);
    int in[2] = {-1, -1}, out[2] = {-1, -1};
    if (pipe2(in, O_CLOEXEC) != 0 || (!options.discardOutput && pipe2(out, O_CLOEXEC) != 0)) {
        for (int fd : in) ::close(fd);
        return;
    }
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_adddup2(&files, in[0], STDIN_FILENO);
    options.discardOutput
        ? posix_spawn_file_actions_addopen(&files, STDOUT_FILENO, "/dev/null", O_WRONLY, 0)
        : posix_spawn_file_actions_adddup2(&files, out[1], STDOUT_FILENO);
    // The child starts with no signal blocked and SIGPIPE back at its default.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none, pipe;
    sigemptyset(&none);
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &pipe);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    CStrings argv(QStringList{program} + args);
    CStrings envp(options.environment ? options.environment->toStringList() : QStringList());
    if (posix_spawnp(&pid_, argv.pointers[0], &files, &attributes, argv.pointers.data(),
                     options.environment ? envp.pointers.data() : environ) != 0)
        pid_ = -1;
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&files);
    for (int fd : {in[0], out[1]}) ::close(fd);  // -1 is harmless
    in_ = in[1];
    out_ = out[0];
    if (out_ >= 0) fcntl(out_, F_SETFL, O_NONBLOCK);
    finished_ = pid_ <= 0;
}

ChildProcess::~ChildProcess() {
    stop();
    for (int fd : {in_, out_}) ::close(fd);
}

bool ChildProcess::reap(bool block) {
    if (finished_) return true;
    int status = 0;
    const pid_t r = waitpid(pid_, &status, block ? 0 : WNOHANG);
    if (r == 0 || (r < 0 && errno == EINTR)) return false;
    finished_ = true;
    exitCode_ = r == pid_ && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return true;
}

bool ChildProcess::running() { return !reap(false); }

void ChildProcess::write(const QByteArray& data) {
    for (qsizetype done = 0; in_ >= 0 && done < data.size();) {
        const ssize_t n = ::write(in_, data.constData() + done, size_t(data.size() - done));
        if (n <= 0 && errno != EINTR) return;
        done += std::max<ssize_t>(n, 0);
    }
}

void ChildProcess::drain() {
    char chunk[4096];
    for (ssize_t n; out_ >= 0 && (n = ::read(out_, chunk, sizeof chunk)) > 0;)
        output_.append(chunk, n);
}

QByteArray ChildProcess::readAllStandardOutput() {
    drain();
    return std::exchange(output_, {});
}

QString ChildProcess::readLine(int timeoutMs) {
    const auto hasLine = [this] { return drain(), output_.contains('\n'); };
    if (!pollFor(timeoutMs, [&] { return hasLine() || !running(); }) || !hasLine()) return {};
    const qsizetype end = output_.indexOf('\n') + 1;
    return QString::fromUtf8(std::exchange(output_, output_.mid(end)).left(end)).trimmed();
}

bool ChildProcess::waitForFinished(int timeoutMs) {
    return pollFor(timeoutMs, [this] { return drain(), !running(); });
}

std::optional<QByteArray> ChildProcess::run(const QString& program, const QStringList& args,
                                            const Options& options) {
    ChildProcess p(program, args, options);
    if (!p.waitForFinished(30000) || p.exitCode() != 0) return std::nullopt;
    return p.readAllStandardOutput();
}

void ChildProcess::stop() {
    if (running()) ::kill(pid_, SIGTERM);
    if (waitForFinished(3000)) return;
    ::kill(pid_, SIGKILL);
    reap(true);
}

}  // namespace mirano::testing
