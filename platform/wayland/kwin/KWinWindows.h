// Other applications' windows on KDE Plasma, told by a script that runs inside KWin.
#pragma once

#include <QDBusConnection>
#include <QDBusContext>
#include <QHash>
#include <QRectF>
#include <map>
#include <memory>

#include "platform/FocusTracker.h"
#include "platform/wayland/toplevels/WaylandWindows.h"

namespace mirano::wayland {

class KWinScript;

/// KWin lists its windows to no ordinary Wayland client (its window-management protocol is for
/// trusted clients only), but it runs scripts sent over D-Bus, and a script may call D-Bus.
/// A script of ours reports every window (application id, process, full screen, minimised,
/// geometry), every activation and every change of virtual desktop to this object, which
/// serves the `Windows` interface from what it was told; short one-off scripts activate and
/// restore windows. Calls from anyone but KWin are ignored.
///
/// A window's number is small and stable for as long as the window lives (KWin's own ids are
/// UUIDs). Its application is its process, with KWin's resource class (the Wayland app_id, or
/// the X11 class) and else its desktop file as the application id. frame() is the client area
/// where KWin tells it (Plasma 6), else the frame, borders included (5.27). The focused window
/// is the active one when KWin calls it normal or a dialog. KWin 5.27 calls layer-shell
/// surfaces normal windows too; our panels among them are told apart by staying off the
/// taskbar: while one of them is active, the window active before it is answered. Until the
/// script's first report no window is known.
class KWinWindows final : public WaylandWindows, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mirano.KWinWindows")
public:
    explicit KWinWindows(const QDBusConnection& bus, QObject* parent = nullptr);
    /// Unloads the scripts.
    ~KWinWindows() override;

    /// The user's windows: neither our panels nor KWin's own surfaces.
    QList<SourceWindow> listedWindows() const override;
    std::optional<SourceWindow> focusedWindow() override;
    std::optional<QRectF> frame(WindowNumber window) override;
    bool isFullScreen(WindowNumber window) override;
    bool isMinimized(WindowNumber window) override;
    void unminimize(WindowNumber window) override;
    void activate(WindowNumber window) override;

signals:
    /// The script reported its first state, or could not be run (then no window is ever known).
    void ready(bool running);

public slots:
    // Called by our scripts in KWin over D-Bus (Qt exports public slots only); calls from anyone
    // else are ignored.
    Q_SCRIPTABLE void windowChanged(const QString& description);
    Q_SCRIPTABLE void windowRemoved(const QString& id);
    Q_SCRIPTABLE void windowActivated(const QString& id);
    Q_SCRIPTABLE void desktopChanged();
    Q_SCRIPTABLE void commandDone(const QString& scriptName);

private:
    struct Window {
        QString id;
        WindowNumber number = 0;
        AppIdentity application;
        bool normal = false;
        bool offTaskbar = false;
        bool fullScreen = false;
        bool minimized = false;
        QRectF frame;
    };
    /// How a script calls us, as a JavaScript object.
    QString receiverLiteral() const;
    bool fromKWin() const;
    const Window* find(WindowNumber number) const;
    const Window* findId(const QString& id) const;
    /// A panel of ours: off the taskbar, as all of them are.
    static bool isOurPanel(const Window& w);
    /// A window the user can mean: normal or a dialog, and none of our panels.
    static bool isUsers(const Window& w);
    /// The active window when it is the user's; the one before it while our panel is active.
    const Window* userFocused() const;
    /// Signals what the last event changed for the user's focus.
    void focusChanged();
    /// Runs a one-off script on the window: `action` is JavaScript on the variable `w`.
    void command(WindowNumber number, const QString& action);

    QDBusConnection bus_;
    QString path_;
    QString kwin_;
    std::unique_ptr<KWinScript> tracker_;
    std::map<QString, std::unique_ptr<KWinScript>> commands_;
    QHash<QString, WindowNumber> numbers_;
    std::map<WindowNumber, Window> windows_;
    WindowNumber nextNumber_ = 1;
    QString activeId_;
    QString lastUserId_;
    bool initialised_ = false;
    FocusTracker focus_;
};

}  // namespace mirano::wayland
