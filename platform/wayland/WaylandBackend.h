// The Wayland backend: builds every window-system service for the compositor of $WAYLAND_DISPLAY.
#pragma once

#include <QPointer>
#include <memory>
#include <optional>

#include "platform/Backend.h"
#include "platform/Log.h"
#include "platform/wayland/DesktopCapabilities.h"
#include "platform/wayland/toplevels/WaylandWindows.h"

namespace mirano::wayland {

class ToplevelList;

/// Qt runs on its Wayland plugin; the panels are layer surfaces, the windows come from
/// wlr-foreign-toplevel-management or a KWin script (the capture service names windows from the
/// windows service's list, so their numbers agree), capture goes through the ScreenCast portal,
/// and no key events reach us: the desktop binds our shortcuts through its GlobalShortcuts
/// portal where it has one. What the desktop offers is read once, at the first service made,
/// and said in one line.
class WaylandBackend final : public Backend {
public:
    WaylandBackend();
    ~WaylandBackend() override;

    QString name() const override { return QStringLiteral("wayland"); }
    /// Where $WAYLAND_DISPLAY names a compositor.
    bool canRun() const override;
    /// Qt on Wayland, with the positions of top-levels kept (the panels' anchoring).
    void prepareApplication() override;
    /// The compositor's socket (see sessionOfSocket()).
    QString sessionName() const override;
    /// The socket's path: $WAYLAND_DISPLAY as is when absolute, else inside `runtimeDir`.
    static QString sessionOfSocket(const QString& display, const QString& runtimeDir);

    std::unique_ptr<Windows> makeWindows() override;
    std::unique_ptr<KeyboardLayout> makeKeyboardLayout() override;
    std::unique_ptr<EventTap> makeEventTap() override;
    std::unique_ptr<CaptureService> makeCaptureService(Scheduler& scheduler) override;
    std::unique_ptr<Permissions> makePermissions(Notifications& notifications) override;
    std::unique_ptr<PanelWindowSystem> makePanelWindowSystem() override;
    std::unique_ptr<Taskbar> makeTaskbar() override;
    /// PortalShortcuts on the session bus, where the desktop's portal offers them.
    std::unique_ptr<GlobalShortcuts> makeGlobalShortcuts() override;

private:
    /// Probes the desktop on first use and logs the summary.
    const DesktopCapabilities& capabilities();
    std::shared_ptr<ToplevelList> toplevels();

    std::optional<DesktopCapabilities> capabilities_;
    std::shared_ptr<ToplevelList> toplevels_;
    /// Owned by the platform; gone before this backend, perhaps before the capture service.
    QPointer<WaylandWindows> windows_;
    LogOnce noKeysLog_;
};

}  // namespace mirano::wayland
