// A private headless KWin for integration tests, with the desktop portal and KDE's portal
// backend on its session bus, and KWin scripts as the oracle.
#pragma once

#include <QJsonValue>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

#include "tests/support/ChildProcess.h"
#include "tests/support/WaylandSession.h"

namespace mirano::testing {

/// kwin_wayland on its virtual backend with one output of kWidth × kHeight, run in a
/// WaylandSession (its user and bus), with xdg-desktop-portal and xdg-desktop-portal-kde.
/// The whitelisted protocols are open to every client (KWIN_WAYLAND_NO_PERMISSION_CHECKS).
/// Everything it starts stops with it.
class KWinSession {
public:
    static constexpr int kWidth = 1280;
    static constexpr int kHeight = 720;

    KWinSession();
    ~KWinSession();
    KWinSession(const KWinSession&) = delete;
    KWinSession& operator=(const KWinSession&) = delete;

    /// Empty when everything started; otherwise why not.
    QString error() const { return error_; }
    QString busAddress() const { return session_.busAddress(); }
    /// The compositor's socket, as an absolute path.
    QString waylandDisplay() const { return waylandDisplay_; }

    /// Starts a Qt client on this KWin as the user running the tests (who can reach the build
    /// tree); it is stopped when the session ends.
    ChildProcess* startClient(const QString& program, const QStringList& args);

private:
    bool startKWin();
    bool startPortals();
    /// The bus has an owner for every one of `names` (waits, bounded).
    bool waitForNames(const QStringList& names);
    ChildProcess* spawnWith(const QStringList& variables, const QString& program,
                            const QStringList& args);

    WaylandSession session_;
    QString error_;
    QString waylandDisplay_;
    std::vector<std::unique_ptr<ChildProcess>> clients_;
};

/// The value of the JavaScript `expression`, evaluated by a script in the KWin that this
/// process's session bus leads to, passed through JSON; undefined when no answer came.
QJsonValue kwinEvaluate(const QString& expression);

/// The session of a test linked with the KWin test main (null elsewhere).
extern KWinSession* gKWin;

}  // namespace mirano::testing
