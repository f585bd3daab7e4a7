#include "platform/qt/PrivateFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <cerrno>
#include <cstring>

namespace mirano {

namespace {

QString systemError() { return QString::fromLocal8Bit(std::strerror(errno)); }

QString tooLarge(qsizetype maxBytes) {
    return maxBytes % (1024 * 1024) == 0
               ? QStringLiteral("larger than %1 MB").arg(maxBytes / (1024 * 1024))
               : QStringLiteral("larger than %1 kB").arg(maxBytes / 1024);
}

/// Reads up to `limit` bytes; false on a read error.
bool readAtMost(int fd, qsizetype limit, QByteArray& data) {
    data.resize(limit);
    qsizetype size = 0;
    while (size < limit) {
        const ssize_t n = ::read(fd, data.data() + size, static_cast<size_t>(limit - size));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) break;
        size += n;
    }
    data.truncate(size);
    return true;
}

}  // namespace

QString xdgConfigHome() {
    const QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    return QDir::isAbsolutePath(base) ? base : QDir::homePath() + QStringLiteral("/.config");
}

SmallFile readSmallFile(const QString& path, qsizetype maxBytes) {
    SmallFile file;
    const auto refuse = [&file](QString reason) {
        file.status = SmallFile::Status::refused;
        file.reason = std::move(reason);
        file.data.clear();
        return file;
    };
    // Non-blocking, so that a FIFO in the file's place cannot stall the caller in open().
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return errno == ENOENT ? file : refuse(systemError());
    struct stat st {};
    QString problem;
    if (::fstat(fd, &st) != 0)
        problem = systemError();
    else if (!S_ISREG(st.st_mode))
        problem = QStringLiteral("not a regular file");
    else if (st.st_size > maxBytes)
        problem = tooLarge(maxBytes);
    // Bounded even if the file grows while it is read.
    else if (!readAtMost(fd, maxBytes + 1, file.data))
        problem = systemError();
    else if (file.data.size() > maxBytes)
        problem = tooLarge(maxBytes);
    ::close(fd);
    if (!problem.isEmpty()) return refuse(problem);
    file.status = SmallFile::Status::ok;
    return file;
}

QString writePrivateFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    // The save follows a symlink and renames over its target: never over a device or a FIFO
    // that took the file's place (as root that would replace /dev/zero, say).
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) == 0 && !S_ISREG(st.st_mode))
        return QStringLiteral("not a regular file");
    QSaveFile file(path);  // temp file, fsync on commit, rename
    if (file.open(QIODevice::WriteOnly)) {
        file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        file.write(bytes);
        if (file.commit()) return {};
    }
    return file.errorString();
}

}  // namespace mirano
