// The ScreenCast portal's restore tokens, kept per application so that mirroring the same
// application again needs no dialog where the desktop restores the consent.
#pragma once

#include <QJsonObject>
#include <QString>
#include <optional>

#include "platform/Log.h"

namespace mirano::wayland {

/// A small JSON object file, application id → token, read when asked and replaced atomically
/// (temp file, rename) with mode 0600 when changed. Anything but a regular file of at most
/// kMaxFileBytes is neither read nor overwritten; a regular file that is not the user's own
/// with mode 0600 (someone else could have planted or read its tokens) is set aside, with one
/// line, and counts as empty, as does a file that does not parse (tokens can always be had
/// again through the dialog). Main thread only.
class RestoreTokenStore {
public:
    /// `path` is the file to use; see defaultPath().
    explicit RestoreTokenStore(QString path);

    /// $XDG_STATE_HOME/mirano/screencast-tokens.json, falling back to ~/.local/state.
    static QString defaultPath();

    /// The token kept for `applicationId`, or empty.
    QString token(const QString& applicationId);
    /// Keeps `token` for `applicationId`; an empty token forgets it.
    void setToken(const QString& applicationId, const QString& token);

    QString path() const { return path_; }
    /// A token takes about a hundred bytes.
    static constexpr qint64 kMaxFileBytes = 256 * 1024;

private:
    /// The tokens on disk; nothing when the file is there but must not be used.
    std::optional<QJsonObject> read();
    /// Moves a regular file that is not private to the user out of the way; false when it is
    /// there but could not be moved.
    bool setAsideUntrusted();

    QString path_;
    LogOnce unusableLog_;
    LogOnce unwritableLog_;
};

}  // namespace mirano::wayland
