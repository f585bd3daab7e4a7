#include "platform/wayland/RestoreTokenStore.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QSaveFile>
#include <cerrno>
#include <cstring>

#include "platform/wayland/UniqueFd.h"

namespace mirano::wayland {

RestoreTokenStore::RestoreTokenStore(QString path) : path_(std::move(path)) {}

QString RestoreTokenStore::defaultPath() {
    QString base = qEnvironmentVariable("XDG_STATE_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base)) base = QDir::homePath() + "/.local/state";
    return base + "/mirano/screencast-tokens.json";
}

std::optional<QJsonObject> RestoreTokenStore::read() {
    const auto unusable = [this](const QString& why) -> std::optional<QJsonObject> {
        unusableLog_(QStringLiteral("Restore token file %1 is not used (%2).").arg(path_, why));
        return std::nullopt;
    };
    // Non-blocking, so that a FIFO in the file's place cannot stall the main thread.
    UniqueFd fd(::open(QFile::encodeName(path_).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (!fd.valid())
        return errno == ENOENT ? std::optional(QJsonObject())
                               : unusable(QString::fromLocal8Bit(std::strerror(errno)));
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) return unusable(QString::fromLocal8Bit(std::strerror(errno)));
    if (!S_ISREG(st.st_mode)) return unusable(QStringLiteral("not a regular file"));
    if (st.st_size > kMaxFileBytes) return unusable(QStringLiteral("larger than 256 kB"));
    QFile file;
    if (!file.open(fd.get(), QIODevice::ReadOnly)) return unusable(file.errorString());
    // Bounded even if the file grows while it is read.
    const QByteArray data = file.read(kMaxFileBytes + 1);
    if (data.size() > kMaxFileBytes) return unusable(QStringLiteral("larger than 256 kB"));
    unusableLog_.reset();
    return QJsonDocument::fromJson(data).object();
}

QString RestoreTokenStore::token(const QString& applicationId) {
    const auto tokens = read();
    return tokens ? tokens->value(applicationId).toString() : QString();
}

void RestoreTokenStore::setToken(const QString& applicationId, const QString& token) {
    auto tokens = read();
    if (!tokens) return;
    if (token.isEmpty()) {
        if (!tokens->contains(applicationId)) return;
        tokens->remove(applicationId);
    } else {
        tokens->insert(applicationId, token);
    }
    QDir().mkpath(QFileInfo(path_).absolutePath());
    QSaveFile file(path_);  // temp file, rename on commit
    bool written = file.open(QIODevice::WriteOnly);
    if (written) {
        file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        file.write(QJsonDocument(*tokens).toJson(QJsonDocument::Compact));
        written = file.commit();
    }
    if (!written) {
        unwritableLog_(QStringLiteral("Restore token file %1 cannot be written: %2")
                           .arg(path_, file.errorString()));
        return;
    }
    unwritableLog_.reset();
}

}  // namespace mirano::wayland
