// Focus, state and activation of toplevels through wlr-foreign-toplevel-management.
#include "platform/wayland/toplevels/WlrWindows.h"

#include "platform/wayland/toplevels/SwayProcesses.h"
#include "platform/wayland/toplevels/ToplevelList.h"

namespace mirano::wayland {

WlrWindows::WlrWindows(std::shared_ptr<ToplevelList> list, std::function<bool()> panelHasKeys,
                       std::unique_ptr<SwayProcesses> processes, QObject* parent)
    : WaylandWindows(parent),
      list_(std::move(list)),
      panelHasKeys_(std::move(panelHasKeys)),
      processes_(std::move(processes)) {
    if (const WindowNumber focused = userFocused())
        focus_.assume(describe(focused).application, isFullScreen(focused));
    connect(list_.get(), &ToplevelList::changed, this, &WlrWindows::listChanged);
    if (processes_)
        connect(processes_.get(), &SwayProcesses::changed, this, &WlrWindows::learnProcesses);
}

void WlrWindows::learnProcesses() {
    std::erase_if(pids_, [&](const auto& entry) { return !list_->find(entry.first); });
    for (const Toplevel& t : list_->toplevels())
        if (!pids_.contains(t.number))
            if (const auto pid = processes_->processOf(t.appId, t.title)) pids_[t.number] = *pid;
}

SourceWindow WlrWindows::describe(WindowNumber window) const {
    AppIdentity app;
    app.soleWindow = window;
    if (const Toplevel* t = list_->find(window); t && !t->appId.isEmpty())
        app.applicationID = t->appId;
    if (const auto pid = pids_.find(window); pid != pids_.end()) app.pid = pid->second;
    return SourceWindow{window, app};
}

WlrWindows::~WlrWindows() = default;

WindowNumber WlrWindows::userFocused() {
    if (const Toplevel* active = list_->activated()) {
        lastActivated_ = active->number;
        return active->number;
    }
    if (panelHasKeys_ && panelHasKeys_() && list_->find(lastActivated_)) return lastActivated_;
    return 0;
}

QList<SourceWindow> WlrWindows::listedWindows() const {
    QList<SourceWindow> windows;
    for (const Toplevel& toplevel : list_->toplevels()) windows.append(describe(toplevel.number));
    return windows;
}

std::optional<SourceWindow> WlrWindows::focusedWindow() {
    const WindowNumber window = userFocused();
    if (!window) return std::nullopt;
    return describe(window);
}

std::optional<QRectF> WlrWindows::frame(WindowNumber window) {
    if (!list_->find(window)) return std::nullopt;
    return QRectF();
}

std::optional<QString> WlrWindows::screenName(WindowNumber window) {
    const QString name = list_->outputName(window);
    return name.isEmpty() ? std::nullopt : std::optional(name);
}

bool WlrWindows::isFullScreen(WindowNumber window) {
    const Toplevel* t = list_->find(window);
    return t && t->fullScreen;
}

bool WlrWindows::isMinimized(WindowNumber window) {
    const Toplevel* t = list_->find(window);
    return t && t->minimized;
}

void WlrWindows::unminimize(WindowNumber window) { list_->unminimize(window); }

void WlrWindows::activate(WindowNumber window) { list_->activate(window); }

void WlrWindows::listChanged() {
    if (processes_) processes_->refresh();
    // No toplevel activated: the focus went to a panel of ours or to nothing (an empty
    // workspace); neither is an application of its own, and the next activation of the same
    // window is no news.
    const Toplevel* active = list_->activated();
    if (active) {
        lastActivated_ = active->number;
        const AppIdentity app = describe(active->number).application;
        if (focus_.focus(app)) emit applicationActivated(app);
    }
    // Full screen has no desktop of its own here either: entering or leaving it stands for a
    // change of desktop, as on X11.
    if (focus_.setFullScreen(active && active->fullScreen)) emit fullScreenOrDesktopChanged();
}

}  // namespace mirano::wayland
