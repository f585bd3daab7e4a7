// The global keyboard tap on X11: raw key events for the gestures, synchronous passive grabs
// for the keys the logic may drop.
#pragma once

#include "platform/EventTap.h"

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace mirano::x11 {

class XConnection;

/// Runs a thread named "HotkeyManager" with its own XCB connection. Every key press and every
/// modifier change goes to the handler on the main thread; only a grabbed press waits for the
/// handler's verdict, at most one second, after which it passes and the main thread skips it.
class X11EventTap final : public EventTap {
public:
    /// `display` empty: $DISPLAY.
    explicit X11EventTap(std::string display = {});
    ~X11EventTap() override;

    bool start(std::function<TapVerdict(const KeyEvent&)> handler) override;
    void stop() override;
    void setGrabs(const TapGrabs& grabs) override;

    /// Grabbed presses whose verdict came too late and that were passed on.
    int abandonedEvents() const;
    /// Abandoned events the main thread then skipped without running the handler.
    int skippedEvents() const;
    /// Whether the grabs for the latest setGrabs() and keymap are in place.
    bool grabsSettled() const;
    /// Passive grab combinations held right now.
    int grabCount() const { return grabCount_.load(); }

    /// How long a grabbed press waits for the main thread.
    static constexpr double kVerdictTimeout = 1.0;

private:
    struct SharedState;
    class Worker;

    std::string display_;
    std::shared_ptr<SharedState> state_;
    std::unique_ptr<Worker> worker_;
    std::thread thread_;
    int wakeFd_ = -1;
    std::atomic<int> grabCount_{0};
};

}  // namespace mirano::x11
