// Scripted windows: their frames, states and owners, the focus, and what was asked of them.
#pragma once

#include <QStringList>
#include <map>

#include "platform/Windows.h"

namespace mirano::fakes {

struct FakeWindows final : Windows {
    struct Window {
        QRectF frame;
        AppIdentity application;
        bool fullScreen = false, minimized = false;
        /// The screen the desktop names for it (where it tells no frame).
        std::optional<QString> screenName;
    };
    std::map<WindowNumber, Window> windows;
    /// The focused window (0: none).
    WindowNumber focused = 0;
    /// "unminimize N" and "activate N", in order.
    QStringList requests;

    /// Adds or replaces a window of process `pid` (0: no process found).
    void addWindow(WindowNumber id, const QRectF& frame, ProcessID pid,
                   std::optional<QString> applicationID = std::nullopt) {
        AppIdentity app{pid ? std::optional<ProcessID>(pid) : std::nullopt, pid ? 0 : id,
                        std::move(applicationID)};
        windows[id] = Window{frame, app};
    }
    /// Focuses the window and reports its application's activation.
    void focusFromOutside(WindowNumber id) {
        focused = id;
        emit applicationActivated(windows.at(id).application);
    }

    std::optional<SourceWindow> focusedWindow() override { return focusedWindowFor(focused); }
    /// What focusedWindow() answers while `id` has the focus.
    std::optional<SourceWindow> focusedWindowFor(WindowNumber id) const {
        if (!windows.count(id)) return std::nullopt;
        return SourceWindow{id, windows.at(id).application};
    }
    std::optional<QRectF> frame(WindowNumber id) override {
        return windows.count(id) ? std::optional(windows[id].frame) : std::nullopt;
    }
    std::optional<QString> screenName(WindowNumber id) override {
        return windows.count(id) ? windows[id].screenName : std::nullopt;
    }
    bool isFullScreen(WindowNumber w) override { return windows.count(w) && windows[w].fullScreen; }
    bool isMinimized(WindowNumber w) override { return windows.count(w) && windows[w].minimized; }
    void unminimize(WindowNumber id) override {
        requests << QStringLiteral("unminimize %1").arg(id);
        if (windows.count(id)) windows[id].minimized = false;
    }
    void activate(WindowNumber id) override {
        requests << QStringLiteral("activate %1").arg(id);
        if (windows.count(id)) focused = id;
    }
};

}  // namespace mirano::fakes
