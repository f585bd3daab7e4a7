#include "platform/x11/CaptureThread.h"

#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>

#include "platform/Log.h"
#include "platform/x11/Extensions.h"

namespace mirano::x11 {

namespace {

Error unavailableError(const QString& what) {
    return Error{QStringLiteral("Window capture is not available: %1.").arg(what)};
}

}  // namespace

CaptureThread::CaptureThread(const QByteArray& display) {
    context_.connection =
        std::make_shared<XConnection>(display.isEmpty() ? nullptr : display.constData());
    unavailable_ = setUp();
    wakeFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    thread_ = std::thread([this] { run(); });
}

CaptureThread::~CaptureThread() {
    shutDown();
    if (wakeFd_ >= 0) close(wakeFd_);
}

void CaptureThread::shutDown() {
    {
        std::lock_guard lock(mutex_);
        if (quit_) return;
        quit_ = true;
    }
    const std::uint64_t one = 1;
    if (wakeFd_ >= 0 && write(wakeFd_, &one, sizeof one) < 0) {
        // The loop also wakes on its own within its longest poll.
    }
    if (thread_.joinable()) thread_.join();
    // The thread is gone: releasing here cannot race with it, and no handler runs any more.
    captures_.clear();
    presenters_.clear();
    if (context_.connection->isValid()) xcb_flush(context_.connection->get());
}

std::optional<Error> CaptureThread::setUp() {
    XConnection& x = *context_.connection;
    if (!x.isValid()) return unavailableError(QStringLiteral("no connection to the X server"));
    xcb_connection_t* c = x.get();
    if (!hasExtension(c, Extension::composite, 0, 2))
        return unavailableError(
            QStringLiteral("the Composite extension (0.2 or later) is missing"));
    const xcb_query_extension_reply_t* damage = extensionData(c, Extension::damage);
    if (!damage || !hasExtension(c, Extension::damage))
        return unavailableError(QStringLiteral("the DAMAGE extension is missing"));
    context_.damageEventBase = damage->first_event;
    // Regions tell what changed, so that only that is scaled again; without them, everything.
    context_.hasRegions = hasExtension(c, Extension::xfixes);
    // Without MIT-SHM the panel's picture is still drawn on the server; only the frames a
    // tool asks for are copied through the connection, more slowly.
    context_.hasShm = hasExtension(c, Extension::shm);
    x.atoms().preload({"_NET_CLIENT_LIST"});
    if (!hasExtension(c, Extension::render)) {
        // Still possible, at a price: whole frames come to us and are scaled here.
        logLine(
            QStringLiteral("The X server lacks RENDER: frames are copied and scaled by Mirano, "
                           "which costs more CPU."));
        return std::nullopt;
    }
    context_.hasRender = true;
    auto formats = PictFormats::query(c);
    if (!formats) return unavailableError(QStringLiteral("RENDER lists no picture formats"));
    if (!formats->argb32() || !formats->a8())
        return unavailableError(QStringLiteral("RENDER has no 32-bit ARGB or 8-bit alpha format"));
    context_.formats = *formats;
    return std::nullopt;
}

void CaptureThread::post(std::function<void(CaptureThread&)> task) {
    {
        std::lock_guard lock(mutex_);
        if (quit_) return;  // shut down: nothing runs any more
        tasks_.push_back(std::move(task));
    }
    const std::uint64_t one = 1;
    if (write(wakeFd_, &one, sizeof one) < 0) {
        // A full counter still wakes the loop.
    }
}

void CaptureThread::runTasks() {
    std::deque<std::function<void(CaptureThread&)>> tasks;
    {
        std::lock_guard lock(mutex_);
        tasks.swap(tasks_);
    }
    for (auto& task : tasks) task(*this);
}

std::optional<WindowCapture::Clock::time_point> CaptureThread::serviceCaptures() {
    std::optional<WindowCapture::Clock::time_point> wake;
    const auto now = WindowCapture::Clock::now();
    for (auto& [id, capture] : captures_) {
        if (auto due = capture->service(now); due && (!wake || *due < *wake)) wake = due;
    }
    return wake;
}

int CaptureThread::dispatchEvents() {
    xcb_connection_t* c = context_.connection->get();
    int count = 0;
    while (xcb_generic_event_t* raw = xcb_poll_for_event(c)) {
        ++count;
        auto event = reply(raw);
        // Errors of requests we did not check (e.g. freeing what a destroyed window took with
        // it) need no action.
        if (event->response_type == 0) continue;
        for (auto& [id, capture] : captures_) capture->handleEvent(event.get());
        for (auto& [id, presenter] : presenters_) presenter->handleEvent(event.get());
    }
    return count;
}

void CaptureThread::run() {
    pthread_setname_np(pthread_self(), "mirano-capture");
    bool connected = context_.connection->isValid();
    while (!quit_) {
        runTasks();
        if (connected && xcb_connection_has_error(context_.connection->get())) {
            // The X server went away: every running stream ends, once.
            connected = false;
            for (auto& [id, capture] : captures_) capture->connectionLost();
        }
        if (connected) dispatchEvents();
        auto wake = serviceCaptures();
        // Waiting for replies may have queued events that poll() will not report: handle them
        // (and what they make due) before sleeping.
        while (connected && dispatchEvents() > 0) wake = serviceCaptures();
        if (connected) xcb_flush(context_.connection->get());
        int timeout = 1000;
        if (wake) {
            const auto ms = std::chrono::duration_cast<std::chrono::microseconds>(
                                *wake - WindowCapture::Clock::now())
                                .count();
            timeout = int(std::clamp<long long>((ms + 999) / 1000, 0, 1000));
        }
        pollfd fds[2] = {
            {wakeFd_, POLLIN, 0},
            {connected ? xcb_get_file_descriptor(context_.connection->get()) : -1, POLLIN, 0}};
        poll(fds, 2, timeout);
        if (fds[0].revents & POLLIN) {
            std::uint64_t count;
            if (read(wakeFd_, &count, sizeof count) < 0) {
                // Nothing to read after all.
            }
        }
    }
    // Tasks still queued are dropped unrun: their completions would reach a main loop that
    // is ending.
}

std::vector<ClientWindow> CaptureThread::clientWindows() {
    XConnection& x = *context_.connection;
    std::vector<ClientWindow> result;
    if (!x.isValid()) return result;
    xcb_connection_t* c = x.get();
    const auto windows = x.property32(x.root(), x.atom("_NET_CLIENT_LIST"), XCB_ATOM_WINDOW);
    std::vector<xcb_get_geometry_cookie_t> geometry;
    std::vector<xcb_translate_coordinates_cookie_t> position;
    for (xcb_window_t w : windows) {
        geometry.push_back(xcb_get_geometry(c, w));
        position.push_back(xcb_translate_coordinates(c, w, x.root(), 0, 0));
    }
    for (size_t i = 0; i < windows.size(); ++i) {
        auto g = reply(xcb_get_geometry_reply(c, geometry[i], nullptr));
        auto p = reply(xcb_translate_coordinates_reply(c, position[i], nullptr));
        if (!g || !p) continue;  // gone meanwhile
        result.push_back(ClientWindow{windows[i], p->dst_x, p->dst_y, g->width, g->height});
    }
    return result;
}

WindowCapture* CaptureThread::capture(std::uint64_t id) {
    auto it = captures_.find(id);
    return it == captures_.end() ? nullptr : it->second.get();
}

WindowCapture& CaptureThread::addCapture(std::uint64_t id, std::unique_ptr<WindowCapture> capture) {
    auto& slot = captures_[id];
    slot = std::move(capture);
    return *slot;
}

void CaptureThread::removeCapture(std::uint64_t id) { captures_.erase(id); }

std::shared_ptr<SurfacePresenter> CaptureThread::presenter(std::uint64_t id) {
    auto it = presenters_.find(id);
    return it == presenters_.end() ? nullptr : it->second;
}

void CaptureThread::addPresenter(std::uint64_t id, std::shared_ptr<SurfacePresenter> presenter) {
    presenters_[id] = std::move(presenter);
}

void CaptureThread::removePresenter(std::uint64_t id) { presenters_.erase(id); }

}  // namespace mirano::x11
