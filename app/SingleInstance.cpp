#include "app/SingleInstance.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QRegularExpression>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <optional>
#include <thread>

#include "platform/Log.h"

namespace mirano {

namespace {

const QByteArray kAnswer = "ok\n";

/// The request's line on the socket.
QByteArray lineOf(InstanceRequest request) {
    switch (request) {
        case InstanceRequest::openSettings:
            return "open-settings\n";
        case InstanceRequest::toggle:
            return "toggle\n";
        case InstanceRequest::region:
            return "region\n";
        case InstanceRequest::hide:
            return "hide\n";
        case InstanceRequest::quit:
            return "quit\n";
    }
    return {};
}

/// The request a line names; nothing for an unknown line.
std::optional<InstanceRequest> requestOf(const QByteArray& line) {
    for (auto request : {InstanceRequest::openSettings, InstanceRequest::toggle,
                         InstanceRequest::region, InstanceRequest::hide, InstanceRequest::quit})
        if (line == lineOf(request)) return request;
    return std::nullopt;
}

/// The session's name as a file name.
QString sessionKey(const QString& session) {
    QString key = session.trimmed();
    key.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9_-]")), QStringLiteral("_"));
    return key.isEmpty() ? QStringLiteral("none") : key;
}

/// Why `path` may not hold the lock and socket; empty when it is a folder of this user's that
/// nobody else may write.
QString privacyProblem(const QString& path) {
    struct stat st {};
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
        return QString::fromLocal8Bit(std::strerror(errno));
    if (!S_ISDIR(st.st_mode)) return QStringLiteral("not a folder");
    if (st.st_uid != ::getuid()) return QStringLiteral("owned by another user");
    if ((st.st_mode & 022) != 0) return QStringLiteral("writable by other users");
    return {};
}

/// The user id of the process at the other end of a connected Unix socket.
std::optional<uid_t> peerUser(int fd) {
    ucred credentials{};
    socklen_t size = sizeof credentials;
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0) return std::nullopt;
    return credentials.uid;
}

bool peerIsThisUser(int fd) { return peerUser(fd) == ::getuid(); }

/// A blocking connect to a Unix socket; -1 when nobody listens.
int connectTo(const QByteArray& path) {
    sockaddr_un address{};
    if (path.size() >= static_cast<qsizetype>(sizeof address.sun_path)) return -1;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.constData(), static_cast<std::size_t>(path.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

SingleInstance::SingleInstance(QString directory, const QString& session, QObject* parent)
    : QObject(parent),
      base_(directory.isEmpty() ? QString()
                                : directory + QStringLiteral("/mirano-") + sessionKey(session)) {}

SingleInstance::~SingleInstance() {
    stopListening();
    if (lockFd_ >= 0) ::close(lockFd_);
}

void SingleInstance::stopListening() {
    if (!server_) return;
    server_->close();
    server_.reset();
    QLocalServer::removeServer(socketPath());
}

QString SingleInstance::defaultDirectory() {
    QString cache = qEnvironmentVariable("XDG_CACHE_HOME");
    if (cache.isEmpty() || !QDir::isAbsolutePath(cache)) cache = QDir::homePath() + "/.cache";
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    const QString own = QDir::tempPath() + QStringLiteral("/mirano-%1").arg(::getuid());
    QStringList tried;
    for (const QString& folder : {runtime, own, cache + QStringLiteral("/mirano")}) {
        if (folder.isEmpty()) continue;
        if (folder != runtime) {
            QDir().mkpath(QFileInfo(folder).absolutePath());
            ::mkdir(QFile::encodeName(folder).constData(), 0700);
        }
        const QString problem = privacyProblem(folder);
        if (problem.isEmpty()) {
            // A runtime folder that others control must not decide whether Mirano runs.
            if (!tried.isEmpty())
                logLine(QStringLiteral("Single instance: not using %1; keeping the lock in %2.")
                            .arg(tried.join(QStringLiteral(", ")), folder));
            return folder;
        }
        tried << QStringLiteral("%1 (%2)").arg(folder, problem);
    }
    logLine(QStringLiteral("Single instance is off: no private folder for its lock (%1).")
                .arg(tried.join(QStringLiteral(", "))));
    return {};
}

bool SingleInstance::claim() {
    if (lockFd_ >= 0 || base_.isEmpty()) return true;
    const int fd = ::open(QFile::encodeName(lockPath()).constData(),
                          O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    // Without a lock file of our own Mirano still runs (better two than none), and says so.
    if (fd < 0) {
        logLine(QStringLiteral("Single instance is off: %1 cannot be opened (%2).")
                    .arg(lockPath(), QString::fromLocal8Bit(std::strerror(errno))));
        return true;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::getuid()) {
        ::close(fd);
        logLine(QStringLiteral("Single instance is off: %1 is not a file of this user.")
                    .arg(lockPath()));
        return true;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    lockFd_ = fd;
    return true;
}

bool SingleInstance::listen() {
    if (server_) return true;
    if (base_.isEmpty()) return false;
    // Only the lock holder gets here, so a socket left by a crashed instance can go.
    QLocalServer::removeServer(socketPath());
    server_ = std::make_unique<QLocalServer>();
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_->listen(socketPath())) return false;
    connect(server_.get(), &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = server_->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            if (!peerIsThisUser(static_cast<int>(socket->socketDescriptor()))) {
                socket->abort();
                continue;
            }
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                if (!socket->canReadLine()) return;
                const std::optional<InstanceRequest> request = requestOf(socket->readLine());
                // The answer leaves before the request runs: quitting must not swallow it.
                if (request) {
                    socket->write(kAnswer);
                    socket->flush();
                }
                socket->disconnectFromServer();
                if (request && onRequest) onRequest(*request);
            });
        }
    });
    return true;
}

bool SingleInstance::isHeld() const {
    if (base_.isEmpty() || lockFd_ >= 0) return false;
    const int fd = ::open(QFile::encodeName(lockPath()).constData(),
                          O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) return false;
    struct stat st {};
    // A shared lock is refused exactly while an instance holds its exclusive one.
    const bool held = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::getuid() &&
                      ::flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);
    return held;
}

bool SingleInstance::ask(InstanceRequest request, int timeoutMs) const {
    const QByteArray line = lineOf(request);
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    const QByteArray path = QFile::encodeName(socketPath());
    // The holder may still be starting: its socket appears once its Qt application runs.
    int fd = -1;
    while ((fd = connectTo(path)) < 0) {
        if (Clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    // Only a process of this user is sent the request.
    if (!peerIsThisUser(fd)) {
        logLine(QStringLiteral("Single instance: %1 is answered by another user's process; not "
                               "talking to it.")
                    .arg(socketPath()));
        ::close(fd);
        return false;
    }
    bool answered = false;
    if (::send(fd, line.constData(), static_cast<std::size_t>(line.size()), MSG_NOSIGNAL) ==
        line.size()) {
        QByteArray reply;
        while (!reply.contains('\n')) {
            using std::chrono::milliseconds;
            const auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now());
            if (left.count() <= 0) break;
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
            char buffer[16];
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n <= 0) break;
            reply.append(buffer, n);
        }
        answered = reply == kAnswer;
    }
    ::close(fd);
    return answered;
}

}  // namespace mirano
