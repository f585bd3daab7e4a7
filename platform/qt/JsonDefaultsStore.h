// Preferences kept in a JSON file under the user's configuration directory.
#pragma once

#include <QFileSystemWatcher>
#include <QJsonObject>
#include <QSet>
#include <QTimer>

#include "platform/DefaultsStore.h"
#include "platform/Log.h"

namespace mirano {

/// Keeps an in-memory copy of the file and writes through by atomic replace (mode 0600).
/// Unknown keys are preserved. Edits made to the file on disk are read once the file has
/// settled. At start a file that does not parse is moved aside and the defaults apply; while
/// running, a file that does not parse (an editor still writing, or a broken edit) or cannot
/// be read never resets the live values: a broken edit is moved aside before Mirano writes
/// the file again, and nothing is written while the file cannot be read. Anything but a
/// regular file of at most kMaxFileBytes counts as unreadable, so a FIFO, a device or a huge
/// file can neither block nor bloat Mirano. Main thread only.
class JsonDefaultsStore final : public DefaultsStore {
    Q_OBJECT
public:
    /// `path` is the file to use; see defaultPath().
    explicit JsonDefaultsStore(QString path, QObject* parent = nullptr);
    /// Writes what is still waiting for a change on disk to be read.
    ~JsonDefaultsStore() override;
    /// Reads a change on disk now and writes what is pending, without waiting for the file to
    /// settle. Runs by itself when the application is about to quit; from then on every key is
    /// written at once.
    void flush();

    /// $XDG_CONFIG_HOME/mirano/defaults.json, falling back to ~/.config.
    static QString defaultPath();

    std::optional<QJsonValue> value(const QString& key) const override;
    void setValue(const QString& key, const QJsonValue& value) override;
    void removeValue(const QString& key) override;

    QString path() const { return path_; }

    /// A change on disk is read once the file has been quiet this long.
    static constexpr int kSettleMs = 200;
    /// A file that does not parse is read again this many times before it counts as broken.
    static constexpr int kParseAttempts = 5;
    /// How often a file that cannot be read is tried again.
    static constexpr int kUnreadableRetryMs = 1000;
    /// A larger file is not read: settings take a few hundred bytes.
    static constexpr qsizetype kMaxFileBytes = 1024 * 1024;

private:
    enum class ReadStatus { ok, missing, unreadable, unparsable };
    struct ReadResult {
        ReadStatus status = ReadStatus::missing;
        QJsonObject values;
        QString reason;
    };

    ReadResult readFile() const;
    void changedOnDisk();
    void readChanges();
    void keep(const QString& key);
    void replaceValues(const QJsonObject& fresh);
    void moveAside(const QString& reason);
    void write();
    void watch();
    /// Identity and version of the file on disk (inode, size, modification time).
    QByteArray fileSignature() const;

    QString path_;
    /// The file as Mirano last wrote it: its own writes are not read back as changes.
    QByteArray ownSignature_;
    QJsonObject values_;
    QFileSystemWatcher watcher_;
    QTimer settleTimer_;
    /// Keys set here that the file on disk does not hold yet.
    QSet<QString> pending_;
    /// The file exists but cannot be read: nothing is written.
    bool unreadable_ = false;
    /// The file on disk does not parse: it is moved aside before the next write.
    bool unparsable_ = false;
    QString unparsableReason_;
    int parseAttempts_ = 0;
    /// The application is quitting: nothing waits for the file to settle any more.
    bool quitting_ = false;
    LogOnce unreadableLog_;
    QString unreadableReason_;
    LogOnce unparsableLog_;
    LogOnce unwritableLog_;
};

}  // namespace mirano
