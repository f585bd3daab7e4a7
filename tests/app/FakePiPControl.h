// A PiP controller stand-in that records what the shell asks of it.
#pragma once

#include "app/HotkeyService.h"
#include "app/PiPControl.h"

#include <QStringList>

namespace mirano::fakes {

class FakePiPControl final : public PiPControl {
    Q_OBJECT
public:
    std::optional<WindowNumber> capturedWindowID() const override { return captured; }
    bool hasPanel() const override { return panel; }
    bool isHovering() const override { return hovering; }
    std::optional<FocusedWindow> focusedWindow() const override { return focused; }

    void startPiP(WindowElement element, WindowNumber windowID, ProcessID pid,
                  std::optional<QRectF> sourceRect) override {
        calls << QStringLiteral("startPiP(%1,%2,%3,%4)")
                     .arg(element.handle)
                     .arg(windowID)
                     .arg(pid)
                     .arg(sourceRect ? "rect" : "none");
        setCaptured(windowID);
        panel = true;
    }
    void stopPiP() override {
        calls << "stopPiP";
        setCaptured(std::nullopt);
        panel = false;
    }
    void handleModifierTap() override { calls << "handleModifierTap"; }
    void setCommandHeld(bool held) override { calls << QStringLiteral("setCommandHeld(%1)").arg(held); }
    bool isHoveringVisiblePiP() const override { return hoveringVisible; }
    void zoomBy(double factor) override { calls << QStringLiteral("zoomBy(%1)").arg(factor, 0, 'f', 4); }
    void openFrameRateMenu() override { calls << "openFrameRateMenu"; }
    void scheduleStreamRestart() override { calls << "scheduleStreamRestart"; }
    void beginRegionSelection() override { calls << "beginRegionSelection"; }

    void setCaptured(std::optional<WindowNumber> id) {
        if (id == captured) return;
        captured = id;
        emit capturedWindowIDChanged();
    }

    std::optional<WindowNumber> captured;
    bool panel = false;
    bool hovering = false;
    bool hoveringVisible = false;
    std::optional<FocusedWindow> focused;
    QStringList calls;
};

/// Records start/stop/refresh and keeps the bindings so tests can fire the gestures.
class FakeHotkeyService final : public HotkeyService {
public:
    explicit FakeHotkeyService(HotkeyBindings b, QStringList* log) : bindings(std::move(b)), log_(log) {}
    void start() override { log_->append("hotkeys.start"); }
    void stop() override { log_->append("hotkeys.stop"); }
    void refreshGrabs() override { log_->append("hotkeys.refreshGrabs"); }

    HotkeyBindings bindings;

private:
    QStringList* log_;
};

}  // namespace mirano::fakes
