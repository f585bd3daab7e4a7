// A private headless sway for integration tests: a WaylandSession (its own user and session
// bus) with sway, and swaymsg and grim as the oracles.
#pragma once

#include <QImage>
#include <QJsonObject>
#include <QProcessEnvironment>
#include <QRect>
#include <QString>
#include <QStringList>
#include <optional>

#include "tests/support/WaylandSession.h"

namespace mirano::testing {

/// sway on the headless backend with the pixman renderer, one output of `width` × `height`,
/// run as the session's user. Everything it starts stops with it.
class SwaySession : public WaylandSession {
public:
    static constexpr int kWidth = 1280;
    static constexpr int kHeight = 720;

    SwaySession();

    /// The compositor's socket, as an absolute path (usable as WAYLAND_DISPLAY by anyone).
    QString waylandDisplay() const { return waylandDisplay_; }

    /// What a Wayland client of this session needs: the session's environment plus the
    /// display and Qt's Wayland platform.
    QProcessEnvironment clientEnvironment() const;
    /// Starts a client with clientEnvironment(), as the user running the tests (who can reach
    /// both the compositor's socket and the build tree, which the test user may not); it is
    /// stopped when the session ends (or by ChildProcess::stop()).
    ChildProcess* startClient(const QString& program, const QStringList& args);

    /// Runs swaymsg with `args` (bounded); its standard output, empty on failure.
    QByteArray swaymsg(const QStringList& args) const;
    /// Runs one sway command; true when sway reports success.
    bool command(const QString& command) const;
    /// `swaymsg -t get_tree`.
    QJsonObject tree() const;
    /// The first view (window) in the tree whose app_id is `appId`.
    std::optional<QJsonObject> view(const QString& appId) const;
    /// The app_id of the focused view; empty when no view has the focus.
    QString focusedAppId() const;
    /// A screenshot of `area` (the whole output when empty), taken by grim.
    QImage screenshot(const QRect& area = {}) const;

private:
    bool startSway();
    /// Runs a tool as the test runner, on this compositor (bounded); its output, empty on
    /// failure.
    QByteArray tool(const QString& program, const QStringList& args) const;

    QString waylandDisplay_;
    QString swaySocket_;
};

/// Every view (node with an app_id) of a get_tree answer, depth first.
QList<QJsonObject> swayViews(const QJsonObject& tree);

/// The session of a test linked with the Wayland GUI test main (null elsewhere).
extern SwaySession* gSway;

}  // namespace mirano::testing
