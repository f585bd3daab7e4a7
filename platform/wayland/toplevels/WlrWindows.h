// Other applications' windows on a compositor with wlr-foreign-toplevel-management.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>

#include "platform/FocusTracker.h"
#include "platform/wayland/toplevels/SwayProcesses.h"
#include "platform/wayland/toplevels/WaylandWindows.h"

namespace mirano::wayland {

class ToplevelList;

/// The focused window is the toplevel in the activated state; its application is its app_id.
/// Window numbers are ToplevelList's own. The protocol tells no process: sway's IPC tells it
/// where it runs, else the window itself stands for its application (AppIdentity::soleWindow).
/// Nor does it tell a geometry: frame() is an
/// empty rectangle for a window that exists. Full screen and minimised are the protocol's
/// states (sway has no minimised state). While a key-taking panel of ours has the keyboard
/// focus no toplevel is activated; the one activated before it is answered meanwhile.
class WlrWindows final : public WaylandWindows {
    Q_OBJECT
public:
    /// The list may be shared with the capture service: window numbers are the list's own.
    /// `panelHasKeys` tells whether one of our panels has (or asks for) the keyboard focus.
    /// `processes` (may be null) names the windows' processes.
    WlrWindows(std::shared_ptr<ToplevelList> list, std::function<bool()> panelHasKeys,
               std::unique_ptr<SwayProcesses> processes = nullptr, QObject* parent = nullptr);
    ~WlrWindows() override;

    ToplevelList& list() { return *list_; }

    QList<SourceWindow> listedWindows() const override;
    std::optional<SourceWindow> focusedWindow() override;
    std::optional<QRectF> frame(WindowNumber window) override;
    /// The output it entered last, as xdg-output (and so Qt) names it.
    std::optional<QString> screenName(WindowNumber window) override;
    bool isFullScreen(WindowNumber window) override;
    bool isMinimized(WindowNumber window) override;
    void unminimize(WindowNumber window) override;
    void activate(WindowNumber window) override;

private:
    SourceWindow describe(WindowNumber window) const;
    /// The activated toplevel, or while one of our panels has the keys the one before it.
    WindowNumber userFocused();
    void listChanged();
    /// Takes the processes of the windows that have none yet from sway's new tree.
    void learnProcesses();

    std::shared_ptr<ToplevelList> list_;
    std::function<bool()> panelHasKeys_;
    WindowNumber lastActivated_ = 0;
    FocusTracker focus_;
    std::unique_ptr<SwayProcesses> processes_;
    // Kept once learnt: a window's process never changes, its title (which finds it) may.
    std::map<WindowNumber, ProcessID> pids_;
};

}  // namespace mirano::wayland
