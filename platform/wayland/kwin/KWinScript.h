// One script run inside KWin, loaded over D-Bus and unloaded when it is no longer needed.
#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QTemporaryFile>
#include <functional>

#include "platform/Types.h"

namespace mirano::wayland {

/// Writes the script to a file KWin reads, loads it under a name unique to this process
/// (org.kde.KWin /Scripting loadScript) and starts it. KWin reads the file when the script
/// runs, so the file lives as long as this object. The script is unloaded when this object
/// goes, with a bounded wait, so that a script that calls back into Mirano never outlives it.
/// Main thread only.
class KWinScript : public QObject {
    Q_OBJECT
public:
    /// The unique bus name of the KWin that loaded the script, or nothing when it did not.
    using Started = std::function<void(std::optional<QString> kwin, std::optional<Error> error)>;

    /// Starts loading `source` under `name` (see newName()); `started` runs once, later than
    /// the call: when KWin has loaded the script and has been told to run it, before the
    /// script can call back, or when KWin did not load it.
    KWinScript(const QDBusConnection& bus, const QString& name, const QString& source,
               Started started, QObject* parent = nullptr);
    ~KWinScript() override;

    /// The name KWin knows the script by.
    QString name() const { return name_; }

    /// A script name no other script of this process has.
    static QString newName();
    /// KWin runs on this bus.
    static bool isAvailable(const QDBusConnection& bus);
    /// `text` as a JavaScript string literal, for putting values into a script's source.
    static QString quoted(const QString& text);

private:
    void load();
    void fail(const QString& reason);

    QDBusConnection bus_;
    QString name_;
    QTemporaryFile file_;
    Started started_;
    bool loaded_ = false;
};

}  // namespace mirano::wayland
