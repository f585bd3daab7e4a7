#include "platform/wayland/portal/RestoreTokenStore.h"

#include <QDir>
#include <QJsonDocument>

#include "platform/qt/PrivateFile.h"

namespace mirano::wayland {

RestoreTokenStore::RestoreTokenStore(QString path) : path_(std::move(path)) {}

QString RestoreTokenStore::defaultPath() {
    QString base = qEnvironmentVariable("XDG_STATE_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base)) base = QDir::homePath() + "/.local/state";
    return base + "/mirano/screencast-tokens.json";
}

std::optional<QJsonObject> RestoreTokenStore::read() {
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
