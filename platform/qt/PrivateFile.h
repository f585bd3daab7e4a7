// Small files of the user's own: where they live, read without blocking or bloating, replaced
// atomically.
#pragma once

#include <QByteArray>
#include <QString>

namespace mirano {

/// The user's configuration folder: $XDG_CONFIG_HOME when it is an absolute path, else
/// ~/.config (the XDG base directory rule).
QString xdgConfigHome();

/// What reading a small file found.
struct SmallFile {
    enum class Status { ok, missing, refused };
    Status status = Status::missing;
    QByteArray data;
    /// Why it was refused: the system's error, "not a regular file" or "larger than 1 MB".
    QString reason;
};

/// Reads `path` if it is a regular file (a symlink to one is followed) of at most `maxBytes`.
/// Never blocks in open() (a FIFO in its place) and never reads more than `maxBytes` + 1.
SmallFile readSmallFile(const QString& path, qsizetype maxBytes);

/// Replaces `path` with `bytes` through a temporary file and a rename, mode 0600, making its
/// folder first; a symlink's target is replaced, unless it is no regular file. The error text,
/// or empty on success.
QString writePrivateFile(const QString& path, const QByteArray& bytes);

}  // namespace mirano
