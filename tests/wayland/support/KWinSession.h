// A private headless KWin for integration tests, with the desktop portal and KDE's portal
// backend on its session bus, and KWin scripts as the oracle.
#pragma once

#include <QJsonValue>
#include <QString>
#include <QStringList>

#include "tests/support/WaylandSession.h"

namespace mirano::testing {

/// kwin_wayland on its virtual backend with one output of kWidth × kHeight, in place of sway in
/// a WaylandSession (its user, bus and client start), with xdg-desktop-portal and
/// xdg-desktop-portal-kde. The whitelisted protocols are open to every client
/// (KWIN_WAYLAND_NO_PERMISSION_CHECKS). Everything it starts stops with it.
class KWinSession : public WaylandSession {
public:
    KWinSession();

private:
    bool startKWin();
    bool startPortals();
    /// The bus has an owner for every one of `names` (waits, bounded).
    bool waitForNames(const QStringList& names);
    ChildProcess* spawnWith(const QStringList& variables, const QString& program,
                            const QStringList& args);
};

/// The value of the JavaScript `expression`, evaluated by a script in the KWin that this
/// process's session bus leads to, passed through JSON; undefined when no answer came.
QJsonValue kwinEvaluate(const QString& expression);

}  // namespace mirano::testing
