// The capture thread: its own X connection, every window capture, and the loop that serves them.
#pragma once

#include <QByteArray>
#include <atomic>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "platform/Types.h"
#include "platform/x11/CaptureContext.h"
#include "platform/x11/SurfacePresenter.h"
#include "platform/x11/WindowCapture.h"

namespace mirano::x11 {

/// A client window as the capture thread sees it: top-left-origin root coordinates.
struct ClientWindow {
    xcb_window_t window = 0;
    int x = 0, y = 0, width = 0, height = 0;
};

class CaptureThread {
public:
    /// Connects to `display` ($DISPLAY when empty) and checks the extensions; the thread runs
    /// from here on, even when capture is unavailable (operations then fail with unavailable()).
    explicit CaptureThread(const QByteArray& display = {});
    /// Stops the thread and releases every capture.
    ~CaptureThread();
    /// Stops and joins the thread and releases every capture and presenter; later tasks are
    /// dropped. Idempotent; the destructor calls it.
    void shutDown();
    CaptureThread(const CaptureThread&) = delete;
    CaptureThread& operator=(const CaptureThread&) = delete;

    /// Why capture cannot work on this display, or nothing.
    std::optional<Error> unavailable() const { return unavailable_; }
    /// The server can scale and draw pictures (RENDER); without it frames come to the program.
    bool serverDrawsPictures() const { return !unavailable_ && context_.hasRender; }

    /// Runs `task` on the capture thread, in order. Thread-safe.
    void post(std::function<void(CaptureThread&)> task);

    // The rest is for tasks running on the capture thread.

    /// The client windows of _NET_CLIENT_LIST with their geometry.
    std::vector<ClientWindow> clientWindows();
    CaptureContext& context() { return context_; }
    /// Captures by stream id.
    WindowCapture* capture(std::uint64_t id);
    WindowCapture& addCapture(std::uint64_t id, std::unique_ptr<WindowCapture> capture);
    void removeCapture(std::uint64_t id);
    /// Presenters by surface id; null when there is none.
    std::shared_ptr<SurfacePresenter> presenter(std::uint64_t id);
    void addPresenter(std::uint64_t id, std::shared_ptr<SurfacePresenter> presenter);
    void removePresenter(std::uint64_t id);

private:
    std::optional<Error> setUp();
    void run();
    void runTasks();
    /// Hands every event to the captures; returns how many there were.
    int dispatchEvents();
    /// Lets each capture make its frame; returns the earliest time one wants to run again.
    std::optional<WindowCapture::Clock::time_point> serviceCaptures();

    CaptureContext context_;
    std::optional<Error> unavailable_;
    int wakeFd_ = -1;
    std::mutex mutex_;
    std::deque<std::function<void(CaptureThread&)>> tasks_;
    std::atomic<bool> quit_{false};
    std::map<std::uint64_t, std::unique_ptr<WindowCapture>> captures_;
    std::map<std::uint64_t, std::shared_ptr<SurfacePresenter>> presenters_;
    std::thread thread_;
};

}  // namespace mirano::x11
