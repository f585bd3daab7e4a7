#include "platform/wayland/portal/RestoreTokenStore.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <cerrno>
#include <cstring>

#include "platform/qt/PrivateFile.h"

namespace mirano::wayland {

RestoreTokenStore::RestoreTokenStore(QString path) : path_(std::move(path)) {}

QString RestoreTokenStore::defaultPath() {
    QString base = qEnvironmentVariable("XDG_STATE_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base)) base = QDir::homePath() + "/.local/state";
    return base + "/mirano/screencast-tokens.json";
}

bool RestoreTokenStore::setAsideUntrusted() {
    const QByteArray path = QFile::encodeName(path_);
    struct stat st {};
    if (::stat(path.constData(), &st) != 0 || !S_ISREG(st.st_mode)) return true;
    if (st.st_uid == ::geteuid() && (st.st_mode & 0777) == 0600) return true;
    const QString aside = path_ + QStringLiteral(".untrusted");
    if (::rename(path.constData(), QFile::encodeName(aside).constData()) != 0) {
        unusableLog_(QStringLiteral("Restore token file %1 is not used (not private to the user "
                                    "and cannot be moved aside: %2).")
                         .arg(path_, QString::fromLocal8Bit(std::strerror(errno))));
        return false;
    }
    logLine(QStringLiteral("Restore token file %1 was not private to the user: moved to %2; the "
                           "desktop will ask again.")
                .arg(path_, aside));
    return true;
}

std::optional<QJsonObject> RestoreTokenStore::read() {
    if (!setAsideUntrusted()) return std::nullopt;
    const SmallFile file = readSmallFile(path_, kMaxFileBytes);
    if (file.status == SmallFile::Status::refused) {
        unusableLog_(
            QStringLiteral("Restore token file %1 is not used (%2).").arg(path_, file.reason));
        return std::nullopt;
    }
    unusableLog_.reset();
    return QJsonDocument::fromJson(file.data).object();
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
    const QString error =
        writePrivateFile(path_, QJsonDocument(*tokens).toJson(QJsonDocument::Compact));
    if (!error.isEmpty()) {
        unwritableLog_(
            QStringLiteral("Restore token file %1 cannot be written: %2").arg(path_, error));
        return;
    }
    unwritableLog_.reset();
}

}  // namespace mirano::wayland
