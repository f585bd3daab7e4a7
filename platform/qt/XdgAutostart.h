// Starting Mirano at login through the desktop's XDG autostart folder.
#pragma once

#include <QByteArray>
#include <QString>

#include "platform/Autostart.h"

namespace mirano {

/// On is a desktop entry at the path that the desktop starts; off is none, or one the desktop
/// skips (Hidden=true, as startup editors write). Mirano writes and removes only an entry that
/// carries its mark: one of someone else's, a copy made by a desktop's startup editor
/// say, is never replaced or removed; the answer then says so. Main thread only.
class XdgAutostart final : public Autostart {
public:
    /// `entryPath`: the entry to keep; `program`: the program it starts.
    XdgAutostart(QString entryPath, QString program);

    /// $XDG_CONFIG_HOME/autostart/mirano.desktop (see xdgConfigHome()).
    static QString defaultPath();
    /// The running binary: plain "mirano" when that is what PATH finds, so that the entry
    /// survives the program moving, else its absolute path.
    static QString runningProgram();
    /// The entry that starts `program`.
    static QByteArray entryText(const QString& program);

    bool isEnabled() const override;
    QString setEnabled(bool enabled) override;

private:
    struct Entry;
    Entry read() const;

    QString path_;
    QString program_;
};

}  // namespace mirano
