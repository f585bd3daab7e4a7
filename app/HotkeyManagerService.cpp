#include "app/HotkeyManagerService.h"

#include "hotkeys/HotkeyManager.h"

namespace mirano {

namespace {

class HotkeyManagerService final : public HotkeyService {
public:
    explicit HotkeyManagerService(HotkeyBindings b) {
        manager_.onHotkey = std::move(b.onHotkey);
        manager_.onShiftHotkey = std::move(b.onShiftHotkey);
        manager_.onModifierTap = std::move(b.onModifierTap);
        manager_.onCommandChanged = std::move(b.onCommandChanged);
        manager_.onBackspace = std::move(b.onBackspace);
        manager_.onSettingsHotkey = std::move(b.onSettingsHotkey);
        manager_.onFrameRateMenuHotkey = std::move(b.onFrameRateMenuHotkey);
        manager_.onZoomInHotkey = std::move(b.onZoomInHotkey);
        manager_.onZoomOutHotkey = std::move(b.onZoomOutHotkey);
        manager_.hoverProvider = std::move(b.hoverProvider);
    }
    void start() override { manager_.start(); }
    void stop() override { manager_.stop(); }
    void refreshGrabs() override { manager_.refreshGrabs(); }
    void handlePanelKey(const KeyEvent& event, const QString& text) override {
        manager_.handlePanelKey(event, text);
    }

private:
    HotkeyManager manager_;
};

}  // namespace

std::unique_ptr<HotkeyService> makeHotkeyManagerService(HotkeyBindings bindings) {
    return std::make_unique<HotkeyManagerService>(std::move(bindings));
}

}  // namespace mirano
