// Stand-ins for the shell's collaborators: the PiP controller, the hotkeys and the update source,
// and the world the update checker runs in.
#pragma once

#include <gtest/gtest.h>

#include <QStringList>

#include "app/HotkeyService.h"
#include "app/PiPControl.h"
#include "app/UpdateCheck.h"
#include "app/UpdateDialog.h"
#include "tests/fakes/FakeNotifications.h"
#include "tests/fakes/ManualScheduler.h"
#include "tests/fakes/MemoryDefaultsStore.h"

namespace mirano::fakes {

/// Records what the shell asks of the PiP controller.
class FakePiPControl final : public PiPControl {
    Q_OBJECT
public:
    std::optional<WindowNumber> capturedWindowID() const override { return captured; }
    bool hasPanel() const override { return captured.has_value(); }
    bool isOpening() const override { return opening; }
    bool isHovering() const override { return hovering; }
    std::optional<SourceWindow> focusedWindow() const override { return focused; }

    void startPiP(const SourceWindow& w, std::optional<QRectF> rect) override {
        calls << QString::asprintf("startPiP(%u,%lld,%s)", w.windowID,
                                   qlonglong(w.application.pid.value_or(0)),
                                   rect ? "rect" : "none");
        setCaptured(w.windowID);
    }
    void stopPiP() override {
        calls << "stopPiP";
        setCaptured(std::nullopt);
    }
    void chooseAnotherWindow() override { calls << "chooseAnotherWindow"; }
    void handleModifierTap() override { calls << "handleModifierTap"; }
    void toggleHidden() override { calls << "toggleHidden"; }
    void setCommandHeld(bool held) override { calls << QString("setCommandHeld(%1)").arg(held); }
    bool isHoveringVisiblePiP() const override { return hoveringVisible; }
    void zoomBy(double factor) override { calls << QString("zoomBy(%1)").arg(factor, 0, 'f', 4); }
    void openFrameRateMenu() override { calls << "openFrameRateMenu"; }
    void scheduleStreamRestart() override { calls << "scheduleStreamRestart"; }
    void beginRegionSelection() override { calls << "beginRegionSelection"; }

    void setCaptured(std::optional<WindowNumber> id) {
        if (id == captured) return;
        captured = id;
        emit capturedWindowIDChanged();
    }

    std::optional<WindowNumber> captured;
    bool hovering = false, hoveringVisible = false, opening = false;
    std::optional<SourceWindow> focused;
    QStringList calls;
};

/// Logs start/stop/refresh and keeps the bindings so tests can fire the gestures.
struct FakeHotkeyService final : HotkeyService {
    FakeHotkeyService(HotkeyBindings b, QStringList& log) : bindings(std::move(b)), log(log) {}
    void start() override { log << "hotkeys.start"; }
    void stop() override { log << "hotkeys.stop"; }
    void refreshGrabs() override { log << "hotkeys.refreshGrabs"; }
    void handlePanelKey(const KeyEvent& event, const QString& text) override {
        log << QStringLiteral("hotkeys.panelKey(%1,%2)").arg(event.key).arg(text);
    }
    HotkeyBindings bindings;
    QStringList& log;  ///< Shared with the test, which outlives the service.
};

/// An update source that answers when the test says so.
struct FakeUpdateSource final : UpdateSource {
    bool configured = true;
    int checks = 0;
    std::function<void(UpdateCheckResult)> pending;
    bool isConfigured() const override { return configured; }
    void check(std::function<void(UpdateCheckResult)> done) override {
        ++checks;
        pending = std::move(done);
    }
    void answer(UpdateCheckResult::Status status, const QString& version = "0.2.0",
                const QUrl& notes = {}) {
        ASSERT_TRUE(pending);
        const bool failed = status == UpdateCheckResult::Status::failed;
        std::exchange(pending, nullptr)({status, "0.1.0", version, notes, failed ? "offline" : ""});
    }
};

/// What the update checker (and the settings form) runs on: a store and the settings on it, a
/// manual clock, notifications, the source above and the real dialog.
struct UpdaterWorld : MemorySettings {
    ManualScheduler scheduler;
    FakeNotifications notifications;
    FakeUpdateSource source;
    UpdateDialog presenter;
};

}  // namespace mirano::fakes
