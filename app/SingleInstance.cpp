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
#include <thread>

namespace mirano {

namespace {

const QByteArray kRequest = "open-settings\n";
const QByteArray kAnswer = "ok\n";

/// ":0", ":0.0" and "unix:0" are one display; the screen number does not count.
QString displayKey(const QString& display) {
    QString key = display.trimmed();
    const qsizetype colon = key.lastIndexOf(':');
    const qsizetype dot = key.indexOf('.', colon < 0 ? 0 : colon);
    if (colon >= 0 && dot > colon) key.truncate(dot);
    if (key.startsWith(QLatin1String("unix:"))) key.remove(0, 4);
    key.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9_-]")), QStringLiteral("_"));
    return key.isEmpty() ? QStringLiteral("none") : key;
}

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

SingleInstance::SingleInstance(QString directory, const QString& display, QObject* parent)
    : QObject(parent),
      base_(directory.isEmpty() ? QString()
                                : directory + QStringLiteral("/mirano-") + displayKey(display)) {}

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
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo(runtime).isDir()) return runtime;
    const QString own = QDir::tempPath() + QStringLiteral("/mirano-%1").arg(::getuid());
    const QByteArray path = QFile::encodeName(own);
    ::mkdir(path.constData(), 0700);
    // Someone else's directory of that name must not decide whether Mirano runs.
    struct stat st {};
    if (::lstat(path.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid() ||
        (st.st_mode & 077) != 0)
        return {};
    return own;
}

bool SingleInstance::claim() {
    if (lockFd_ >= 0 || base_.isEmpty()) return true;
    const int fd =
        ::open(QFile::encodeName(lockPath()).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    // Without a lock file (unwritable directory) Mirano still runs: better two than none.
    if (fd < 0) return true;
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
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                if (!socket->canReadLine()) return;
                const bool known = socket->readLine() == kRequest;
                if (known) socket->write(kAnswer);
                socket->disconnectFromServer();
                if (known && onOpenSettingsRequested) onOpenSettingsRequested();
            });
        }
    });
    return true;
}

bool SingleInstance::askToOpenSettings(int timeoutMs) const {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    const QByteArray path = QFile::encodeName(socketPath());
    // The holder may still be starting: its socket appears once its Qt application runs.
    int fd = -1;
    while ((fd = connectTo(path)) < 0) {
        if (Clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    bool answered = false;
    if (::send(fd, kRequest.constData(), static_cast<std::size_t>(kRequest.size()), MSG_NOSIGNAL) ==
        kRequest.size()) {
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
