// Hotkey benchmark: the cost of recognising one event, the latency the X11 tap adds to the keys
// it does not take, and how soon a key it takes reaches the logic, measured on a private X
// display. Prints figures; asserts nothing.
//
//   mirano-bench-hotkeys [--events N] [--presses N]
#include <linux/input-event-codes.h>
#include <poll.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <thread>
#include <vector>

#include "hotkeys/HotkeyManager.h"
#include "platform/qt/QtScheduler.h"
#include "platform/x11/X11EventTap.h"
#include "platform/x11/XkbKeyboardLayout.h"
#include "settings/AppSettings.h"
#include "tests/fakes/FakeEventTap.h"
#include "tests/fakes/FakeKeyboardLayout.h"
#include "tests/fakes/FakeNotifications.h"
#include "tests/fakes/ManualScheduler.h"
#include "tests/fakes/MemoryDefaultsStore.h"
#include "tests/support/X11Session.h"
#include "tests/support/XTestInput.h"

using namespace mirano;
using Clock = std::chrono::steady_clock;

namespace {

constexpr std::uint8_t kBackspace = testing::keys::BackSpace;

/// Nanoseconds per handleEvent call for one kind of event.
double costPerEvent(HotkeyManager& manager, const KeyEvent& event, long iterations) {
    const auto start = Clock::now();
    for (long i = 0; i < iterations; ++i) manager.handleEvent(event);
    const auto ns = std::chrono::duration<double, std::nano>(Clock::now() - start).count();
    return ns / static_cast<double>(iterations);
}

void benchRecognition(long iterations) {
    fakes::MemoryDefaultsStore store;
    AppSettings settings(store);
    fakes::ManualScheduler scheduler;
    fakes::FakeKeyboardLayout layout;
    fakes::FakeNotifications notifications;
    HotkeyManager manager(std::make_unique<fakes::FakeEventTap>(), layout, settings, scheduler,
                          notifications);
    manager.hoverProvider = [] { return false; };
    manager.onHotkey = [] {};
    std::printf("handleEvent cost (fakes, %ld iterations each):\n", iterations);
    std::printf("  key-down, no modifier            %8.1f ns/event\n",
                costPerEvent(manager, {KeyEventKind::KeyDown, KEY_A, {}, 1.0}, iterations));
    std::printf("  modifiers-changed (Shift)        %8.1f ns/event\n",
                costPerEvent(manager, {KeyEventKind::ModifiersChanged, 0, Modifier::Shift, 1.0},
                             iterations));
    std::printf(
        "  key-down with modifier held      %8.1f ns/event\n",
        costPerEvent(manager, {KeyEventKind::KeyDown, KEY_A, Modifier::Menu, 1.0}, iterations));
    std::printf("  key-down = trigger (fn+P)        %8.1f ns/event\n",
                costPerEvent(manager, {KeyEventKind::KeyDown, KEY_P, Modifier::Menu, 1.0, true},
                             iterations));
}

/// A window on its own connection that has the input focus and reports key presses.
class Receiver {
public:
    Receiver() {
        xcb_connection_t* c = conn_.get();
        window_ = xcb_generate_id(c);
        const std::uint32_t mask = XCB_EVENT_MASK_KEY_PRESS | XCB_EVENT_MASK_STRUCTURE_NOTIFY;
        xcb_create_window(c, XCB_COPY_FROM_PARENT, window_, conn_.root(), 0, 0, 200, 200, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK,
                          &mask);
        xcb_map_window(c, window_);
        xcb_flush(c);
        while (auto ev = x11::reply(xcb_wait_for_event(c)))
            if ((ev->response_type & 0x7f) == XCB_MAP_NOTIFY) break;
        xcb_set_input_focus(c, XCB_INPUT_FOCUS_POINTER_ROOT, window_, XCB_CURRENT_TIME);
        x11::reply(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    }
    /// Waits (bounded) for a KeyPress of `keycode`; false on timeout.
    bool waitForPress(std::uint8_t keycode, int timeoutMs) {
        xcb_connection_t* c = conn_.get();
        const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        while (true) {
            while (auto ev = x11::reply(xcb_poll_for_event(c))) {
                if ((ev->response_type & 0x7f) == XCB_KEY_PRESS &&
                    reinterpret_cast<xcb_key_press_event_t*>(ev.get())->detail == keycode)
                    return true;
            }
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now())
                    .count();
            if (left <= 0) return false;
            pollfd fd{xcb_get_file_descriptor(c), POLLIN, 0};
            ::poll(&fd, 1, static_cast<int>(left));
        }
    }

private:
    x11::XConnection conn_;
    xcb_window_t window_ = XCB_NONE;
};

struct Stats {
    double median = 0, p99 = 0, max = 0;
    int lost = 0;
    std::size_t n = 0;
};

/// Presses and releases Backspace `presses` times, timing each press until `arrived` says it
/// came (default: at the focused window); runs on a worker thread while the main thread serves
/// the tap.
Stats measure(int presses, const std::function<bool(Receiver&)>& arrived) {
    testing::XTestInput keyboard;
    Receiver receiver;
    std::vector<double> us;
    us.reserve(static_cast<std::size_t>(presses));
    Stats s;
    for (int i = 0; i < presses; ++i) {
        const auto t0 = Clock::now();
        keyboard.press(kBackspace);
        const bool got = arrived(receiver);
        const auto t1 = Clock::now();
        keyboard.release(kBackspace);
        if (!got) {
            ++s.lost;
            continue;
        }
        us.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
    }
    keyboard.sync();
    std::sort(us.begin(), us.end());
    s.n = us.size();
    if (!us.empty()) {
        s.median = us[us.size() / 2];
        s.p99 = us[std::min(us.size() - 1, us.size() * 99 / 100)];
        s.max = us.back();
    }
    return s;
}

/// Runs `measure` on a worker while the Qt loop of this thread keeps going.
Stats measureServed(int presses, std::function<bool(Receiver&)> arrived = {}) {
    if (!arrived) arrived = [](Receiver& r) { return r.waitForPress(kBackspace, 2000); };
    Stats result;
    std::atomic<bool> done{false};
    std::thread worker([&] {
        result = measure(presses, arrived);
        done = true;
    });
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done) loop.quit();
    });
    poll.start(10);
    loop.exec();
    worker.join();
    return result;
}

void print(const char* label, const Stats& s) {
    std::printf("  %-44s median %7.1f us  p99 %7.1f us  max %8.1f us  (%zu presses, %d lost)\n",
                label, s.median, s.p99, s.max, s.n, s.lost);
}

int benchLatency(int presses) {
    testing::X11Session::Options options;
    options.windowManager = false;  // the receiver takes the focus itself
    testing::X11Session session(options);
    if (!session.error().isEmpty()) {
        std::fprintf(stderr, "cannot start the X display: %s\n", qPrintable(session.error()));
        return 1;
    }
    const std::string display = session.display().toStdString();
    std::printf("\nKey press latency, XTEST press -> KeyPress at the focused window (%s):\n",
                display.c_str());

    measureServed(100);  // warm-up, not reported
    print("no tap", measureServed(presses));

    fakes::MemoryDefaultsStore store;
    AppSettings settings(store);
    QtScheduler scheduler;
    x11::XkbKeyboardLayout layout(display.c_str());
    fakes::FakeNotifications notifications;
    auto tap = std::make_unique<x11::X11EventTap>(display);
    x11::X11EventTap* tapPtr = tap.get();
    bool hovering = false;
    std::atomic<int> handled{0};
    HotkeyManager manager(std::move(tap), layout, settings, scheduler, notifications);
    manager.hoverProvider = [&] { return hovering; };
    manager.onBackspace = [&] { return ++handled, true; };
    manager.start();
    auto settle = [&] { testing::waitUntil([&] { return tapPtr->grabsSettled(); }, 5000); };
    settle();
    print("tap running, key not grabbed", measureServed(presses));

    hovering = true;
    manager.refreshGrabs();
    settle();
    // Taken keys never reach the window: time them until the logic has them.
    print("tap running, key taken, until the logic has it",
          measureServed(presses, [&, expected = 0](Receiver&) mutable {
              ++expected;
              const auto deadline = Clock::now() + std::chrono::seconds(2);
              while (handled.load() < expected && Clock::now() < deadline)
                  std::this_thread::yield();
              expected = std::max(expected, handled.load());
              return handled.load() >= expected;
          }));
    manager.stop();
    // Once more without the tap, so that warm-up does not favour either side.
    print("no tap (again)", measureServed(presses));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    long events = 2000000;
    int presses = 2000;
    for (int i = 1; i + 1 < argc; ++i) {
        if (!std::strcmp(argv[i], "--events"))
            events = std::atol(argv[++i]);
        else if (!std::strcmp(argv[i], "--presses"))
            presses = std::atoi(argv[++i]);
    }
    QCoreApplication app(argc, argv);
    benchRecognition(events);
    return benchLatency(std::max(presses, 1000));
}
