// The global keyboard tap on X11: raw key events for the gestures, asynchronous passive grabs
// for the keys Mirano takes.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "platform/EventTap.h"

namespace mirano::x11 {

/// Runs a thread named "mirano-hotkeys" with its own XCB connection. Every key press and every
/// modifier change goes to the main thread after the fact; the keys named by setGrabs() are
/// taken from the focused window without waiting for anyone, so the keyboard never depends on
/// Mirano running.
class X11EventTap final : public EventTap {
public:
    /// `display` empty: $DISPLAY.
    explicit X11EventTap(std::string display = {});
    ~X11EventTap() override;

    bool start(std::function<void(const KeyEvent&)> onKey,
               std::function<void(const TapGrabs&)> onTriggerTaken) override;
    void stop() override;
    void setGrabs(const TapGrabs& grabs) override;
    bool seesSessionKeys() const override { return true; }

    /// Whether the grabs for the latest setGrabs() and keymap are in place.
    bool grabsSettled() const;
    /// Passive grab combinations held right now.
    int grabCount() const { return grabCount_.load(); }
    /// Whether the trigger key is grabbed right now (the chosen modifier is down).
    bool isArmed() const { return armed_.load(); }

private:
    struct SharedState;
    class Worker;

    std::string display_;
    std::shared_ptr<SharedState> state_;
    std::unique_ptr<Worker> worker_;
    std::thread thread_;
    int wakeFd_ = -1;
    std::atomic<int> grabCount_{0};
    std::atomic<bool> armed_{false};
};

}  // namespace mirano::x11
