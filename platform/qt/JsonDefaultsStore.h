// Preferences kept in a JSON file under the user's configuration directory.
#pragma once

#include "platform/DefaultsStore.h"

#include <QFileSystemWatcher>
#include <QJsonObject>

namespace mirano {

/// Keeps an in-memory copy of the file and writes through by atomic replace (mode 0600).
/// Unknown keys are preserved. Edits made to the file on disk are picked up. A file that does
/// not parse is moved aside, never overwritten, and the defaults apply.
class JsonDefaultsStore final : public DefaultsStore {
    Q_OBJECT
public:
    /// `path` is the file to use; see defaultPath().
    explicit JsonDefaultsStore(QString path, QObject* parent = nullptr);

    /// $XDG_CONFIG_HOME/mirano/defaults.json, falling back to ~/.config.
    static QString defaultPath();

    std::optional<QJsonValue> value(const QString& key) const override;
    void setValue(const QString& key, const QJsonValue& value) override;
    void removeValue(const QString& key) override;

    QString path() const { return path_; }
    /// Re-reads the file now (also done automatically when it changes on disk).
    void reload();

private:
    void write();
    void watch();
    QJsonObject readFile();

    QString path_;
    QJsonObject values_;
    QFileSystemWatcher watcher_;
};

}  // namespace mirano
