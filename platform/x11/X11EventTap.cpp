// The keyboard tap thread: raw key events from XInput 2, synchronous grabs for droppable keys,
// and the hand-off of each event to the main thread.
#include "platform/x11/X11EventTap.h"

#include "platform/x11/KeyCodeTable.h"
#include "platform/x11/KeyGrabSet.h"
#include "platform/x11/KeyboardModifiers.h"
#include "platform/x11/XConnection.h"

#include <xcb/xinput.h>
// xkb.h names a field "explicit", a C++ keyword.
#define explicit xkb_explicit
#include <xcb/xkb.h>
#undef explicit

#include <QCoreApplication>
#include <QMetaObject>

#include <algorithm>
#include <array>
#include <chrono>
#include <deque>
#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace mirano::x11 {

namespace {
constexpr std::uint16_t kPositionalBackspace = 51;
constexpr std::uint16_t kPositionalF = 3;
constexpr std::uint16_t kPositionalEquals = 24;
constexpr std::uint16_t kPositionalMinus = 27;
constexpr std::uint16_t kPositionalComma = 43;

/// One event on its way to the main thread and, for a grabbed press, the verdict coming back.
struct Pending {
    enum class State { Waiting, Claimed, Done, Abandoned };
    State state = State::Waiting;
    TapVerdict verdict = TapVerdict::Keep;
};
}  // namespace

struct X11EventTap::SharedState {
    std::mutex mutex;
    std::condition_variable cv;
    // Guarded by mutex.
    bool stopping = false;
    TapGrabs grabs;
    bool haveGrabs = false;
    std::uint64_t requestedGeneration = 0;
    std::uint64_t appliedGeneration = 0;

    std::atomic<int> abandoned{0};
    std::atomic<int> skipped{0};

    // Main thread only.
    std::function<TapVerdict(const KeyEvent&)> handler;
    bool alive = false;
};

/// Everything that runs on the tap thread. Owns the connection and the grabs.
class X11EventTap::Worker {
public:
    Worker(std::unique_ptr<XConnection> conn, std::uint8_t xiOpcode, std::uint8_t xkbEventBase,
           std::shared_ptr<SharedState> state, int wakeFd, std::atomic<int>& grabCount)
        : conn_(std::move(conn)),
          c_(conn_->get()),
          xiOpcode_(xiOpcode),
          xkbEventBase_(xkbEventBase),
          state_(std::move(state)),
          wakeFd_(wakeFd),
          grabCount_(grabCount),
          main_(c_, conn_->root()),
          armed_(c_, conn_->root()) {}

    ~Worker() {
        // The thread has ended: release the grabs before the connection goes.
        armed_.clear();
        main_.clear();
        grabCount_ = 0;
    }

    void run();

private:
    using Event = XReply<xcb_generic_event_t>;

    bool alive() const { return !xcb_connection_has_error(c_); }
    Event next();
    void handle(const xcb_generic_event_t* ev);
    void onRawKey(bool press, std::uint8_t keycode, xcb_timestamp_t time);
    void onCorePress(const xcb_key_press_event_t* ev);
    /// Whether the server sent a grabbed KeyPress for this raw press (then that one counts).
    bool corePressFollows(std::uint8_t keycode);
    void applyGrabs();
    void arm();
    void disarm();
    bool isDown(ModifierRole role) const;
    std::uint64_t flags() const;
    void post(const KeyEvent& event, std::shared_ptr<Pending> pending);
    TapVerdict ask(const KeyEvent& event);
    void answer(TapVerdict verdict, xcb_timestamp_t time);

    std::unique_ptr<XConnection> conn_;
    xcb_connection_t* c_;
    std::uint8_t xiOpcode_;
    std::uint8_t xkbEventBase_;
    std::shared_ptr<SharedState> state_;
    int wakeFd_;
    std::atomic<int>& grabCount_;

    KeyboardModifiers mods_;
    bool keymapDirty_ = true;
    std::uint64_t appliedGeneration_ = 0;
    TapGrabs grabs_;
    bool haveGrabs_ = false;

    KeyGrabSet main_;
    KeyGrabSet armed_;
    // Keys whose press arms the trigger grab (the Menu key for fn, or a modifier key that
    // sets no X modifier), and whether their press is dropped.
    std::vector<std::uint8_t> armingKeys_;
    ModifierRole armingRole_ = ModifierRole::None;
    bool armingDrops_ = false;
    std::optional<std::uint8_t> trigger_;

    std::array<bool, 256> down_{};
    std::deque<Event> queued_;
    std::vector<const xcb_generic_event_t*> paired_;
};

void X11EventTap::Worker::run() {
    pthread_setname_np(pthread_self(), "HotkeyManager");
    const int xfd = xcb_get_file_descriptor(c_);
    while (true) {
        {
            std::lock_guard lock(state_->mutex);
            if (state_->stopping) break;
            if (state_->requestedGeneration != appliedGeneration_) {
                grabs_ = state_->grabs;
                haveGrabs_ = state_->haveGrabs;
                appliedGeneration_ = state_->requestedGeneration;
                keymapDirty_ = true;
            }
        }
        if (keymapDirty_ && alive()) {
            keymapDirty_ = false;
            mods_.load(c_);
            applyGrabs();
            std::lock_guard lock(state_->mutex);
            state_->appliedGeneration = appliedGeneration_;
        }
        if (Event ev = next()) {
            handle(ev.get());
            continue;
        }
        if (!alive()) {
            // The display went away: nothing to tap; wait for stop().
            pollfd fd{wakeFd_, POLLIN, 0};
            ::poll(&fd, 1, -1);
            std::uint64_t v;
            if (::read(wakeFd_, &v, sizeof v) < 0) {}
            continue;
        }
        pollfd fds[2] = {{xfd, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
        ::poll(fds, 2, -1);
        if (fds[1].revents & POLLIN) {
            std::uint64_t v;
            if (::read(wakeFd_, &v, sizeof v) < 0) {}
        }
    }
    // Pass anything still frozen and leave the keyboard as we found it.
    if (alive()) {
        xcb_allow_events(c_, XCB_ALLOW_REPLAY_KEYBOARD, XCB_CURRENT_TIME);
        armed_.clear();
        main_.clear();
        grabCount_ = 0;
        xcb_flush(c_);
    }
}

X11EventTap::Worker::Event X11EventTap::Worker::next() {
    if (!queued_.empty()) {
        Event ev = std::move(queued_.front());
        queued_.pop_front();
        return ev;
    }
    return Event(xcb_poll_for_event(c_));
}

void X11EventTap::Worker::handle(const xcb_generic_event_t* ev) {
    const std::uint8_t type = ev->response_type & 0x7f;
    if (type == XCB_GE_GENERIC) {
        const auto* ge = reinterpret_cast<const xcb_ge_generic_event_t*>(ev);
        if (ge->extension != xiOpcode_) return;
        if (ge->event_type != XCB_INPUT_RAW_KEY_PRESS && ge->event_type != XCB_INPUT_RAW_KEY_RELEASE)
            return;
        const auto* raw = reinterpret_cast<const xcb_input_raw_key_press_event_t*>(ev);
        onRawKey(ge->event_type == XCB_INPUT_RAW_KEY_PRESS,
                 static_cast<std::uint8_t>(raw->detail), raw->time);
    } else if (type == XCB_KEY_PRESS) {
        onCorePress(reinterpret_cast<const xcb_key_press_event_t*>(ev));
        const auto it = std::find(paired_.begin(), paired_.end(), ev);
        if (it != paired_.end()) paired_.erase(it);
    } else if (type == XCB_MAPPING_NOTIFY) {
        keymapDirty_ = true;
    } else if (type == xkbEventBase_) {
        const auto* xkb = reinterpret_cast<const xcb_xkb_new_keyboard_notify_event_t*>(ev);
        if (xkb->xkbType == XCB_XKB_NEW_KEYBOARD_NOTIFY || xkb->xkbType == XCB_XKB_MAP_NOTIFY)
            keymapDirty_ = true;
    }
}

void X11EventTap::Worker::onRawKey(bool press, std::uint8_t keycode, xcb_timestamp_t time) {
    const ModifierRole role = mods_.role(keycode);
    const double seconds = time / 1000.0;
    const std::uint16_t code = positionalKeyCode(keycode);
    if (!press) {
        if (!down_[keycode]) return;
        down_[keycode] = false;
        if (role == ModifierRole::None) return;
        post({kEventTypeFlagsChanged, flags(), code, seconds}, nullptr);
        if (role == armingRole_ && !isDown(role)) disarm();
        return;
    }
    const bool wasDown = down_[keycode];
    down_[keycode] = true;
    if (role != ModifierRole::None) {
        if (!wasDown) post({kEventTypeFlagsChanged, flags(), code, seconds}, nullptr);
        return;
    }
    // A grabbed press is delivered through its KeyPress, which waits for the verdict.
    if ((main_.covers(keycode) || armed_.covers(keycode)) && corePressFollows(keycode)) return;
    post({kEventTypeKeyDown, flags(), code, seconds}, nullptr);
}

bool X11EventTap::Worker::corePressFollows(std::uint8_t keycode) {
    // The server sends a press's raw event and the KeyPress of an activated grab in one go, so
    // after a round trip the KeyPress, if any, is in our queue.
    auto focus = reply(xcb_get_input_focus_reply(c_, xcb_get_input_focus(c_), nullptr));
    while (Event ev = Event(xcb_poll_for_queued_event(c_))) queued_.push_back(std::move(ev));
    for (const Event& ev : queued_) {
        if ((ev->response_type & 0x7f) != XCB_KEY_PRESS) continue;
        if (reinterpret_cast<const xcb_key_press_event_t*>(ev.get())->detail != keycode) continue;
        if (std::find(paired_.begin(), paired_.end(), ev.get()) != paired_.end()) continue;
        paired_.push_back(ev.get());
        return true;
    }
    return false;
}

void X11EventTap::Worker::onCorePress(const xcb_key_press_event_t* ev) {
    const std::uint8_t keycode = ev->detail;
    if (std::find(armingKeys_.begin(), armingKeys_.end(), keycode) != armingKeys_.end()) {
        // Grab the trigger before the keyboard thaws, so a quick trigger press is caught.
        arm();
        answer(armingDrops_ ? TapVerdict::Drop : TapVerdict::Keep, ev->time);
        return;
    }
    if (!main_.covers(keycode) && !armed_.covers(keycode)) {
        // A grab we no longer hold, or a press we were not meant to see: it passes.
        answer(TapVerdict::Keep, ev->time);
        return;
    }
    // Auto-repeated presses come without a raw event; they count like first presses.
    down_[keycode] = true;
    answer(ask({kEventTypeKeyDown, flags(), positionalKeyCode(keycode), ev->time / 1000.0}),
           ev->time);
}

void X11EventTap::Worker::answer(TapVerdict verdict, xcb_timestamp_t time) {
    if (verdict == TapVerdict::Drop) {
        // Ending the grab the press activated drops that press and thaws the keyboard with no
        // grab left, so the keys queued behind it reach the focused window and their raw
        // events reach us (the server sends the grabbing client no raw events).
        xcb_ungrab_keyboard(c_, time);
    } else {
        xcb_allow_events(c_, XCB_ALLOW_REPLAY_KEYBOARD, time);
    }
    xcb_flush(c_);
}

void X11EventTap::Worker::applyGrabs() {
    armed_.clear();
    main_.clear();
    armingKeys_.clear();
    armingRole_ = ModifierRole::None;
    armingDrops_ = false;
    trigger_.reset();
    if (haveGrabs_) {
        const std::uint16_t locks = mods_.lockMods();
        const auto nonLock = static_cast<std::uint16_t>(mods_.usedMods() & ~locks & 0xff);
        const std::uint16_t allMods = mods_.usedMods() | XCB_MOD_MASK_LOCK;
        const ModifierRole role = roleForDeviceMask(grabs_.modifierMask);
        if (grabs_.triggerKeyCode) trigger_ = xKeycode(*grabs_.triggerKeyCode);
        if (trigger_ && role != ModifierRole::None) {
            const auto masks =
                role == ModifierRole::Fn ? std::vector<std::uint16_t>{} : mods_.modMasksOf(role);
            for (std::uint16_t m : masks)
                main_.grab(*trigger_, m, static_cast<std::uint16_t>(nonLock & ~m), locks);
            if (masks.empty()) {
                // No X modifier tells us the key is held: grab the key itself and arm the
                // trigger on its press.
                armingRole_ = role;
                armingDrops_ = role == ModifierRole::Fn;
                for (std::uint8_t k : mods_.keycodesOf(role)) {
                    if (main_.grabAnyModifier(k, allMods) > 0) armingKeys_.push_back(k);
                }
                if (isDown(role)) arm();
            }
        }
        if (grabs_.panelKeys) {
            if (auto k = xKeycode(kPositionalBackspace)) main_.grab(*k, 0, nonLock, locks);
            for (std::uint16_t code : {kPositionalF, kPositionalEquals, kPositionalMinus}) {
                if (auto k = xKeycode(code)) main_.grab(*k, 0, XCB_MOD_MASK_SHIFT, locks);
            }
            if (auto k = xKeycode(kPositionalComma)) {
                for (ModifierRole command : {ModifierRole::LeftCommand, ModifierRole::RightCommand})
                    for (std::uint16_t m : mods_.modMasksOf(command))
                        main_.grab(*k, m, static_cast<std::uint16_t>(nonLock & ~m), locks);
            }
        }
    }
    xcb_flush(c_);
    grabCount_ = static_cast<int>(main_.size() + armed_.size());
}

void X11EventTap::Worker::arm() {
    armed_.clear();
    if (trigger_) armed_.grabAnyModifier(*trigger_, mods_.usedMods() | XCB_MOD_MASK_LOCK);
    grabCount_ = static_cast<int>(main_.size() + armed_.size());
}

void X11EventTap::Worker::disarm() {
    armed_.clear();
    grabCount_ = static_cast<int>(main_.size());
}

bool X11EventTap::Worker::isDown(ModifierRole role) const {
    for (int k = 0; k < 256; ++k)
        if (down_[k] && mods_.role(static_cast<std::uint8_t>(k)) == role) return true;
    return false;
}

std::uint64_t X11EventTap::Worker::flags() const {
    std::uint64_t f = 0;
    for (int k = 0; k < 256; ++k)
        if (down_[k]) f |= flagsForRole(mods_.role(static_cast<std::uint8_t>(k)));
    return f;
}

void X11EventTap::Worker::post(const KeyEvent& event, std::shared_ptr<Pending> pending) {
    std::shared_ptr<SharedState> state = state_;
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) return;
    QMetaObject::invokeMethod(
        app,
        [state, pending, event] {
            if (!state->alive || !state->handler) return;
            if (pending) {
                std::lock_guard lock(state->mutex);
                if (pending->state == Pending::State::Abandoned) {
                    // Passed on long ago: no callback may act on it now. It still was a key
                    // press, so the logic sees one that matches no rule (it spoils a tap).
                    ++state->skipped;
                    const auto handler = state->handler;
                    handler({kEventTypeKeyDown, 0, kUnknownKeyCode, event.time});
                    return;
                }
                pending->state = Pending::State::Claimed;
            }
            const auto handler = state->handler;  // the handler may stop the tap
            const TapVerdict verdict = handler(event);
            if (!pending) return;
            {
                std::lock_guard lock(state->mutex);
                if (pending->state == Pending::State::Claimed) {
                    pending->verdict = verdict;
                    pending->state = Pending::State::Done;
                }
            }
            state->cv.notify_all();
        },
        Qt::QueuedConnection);
}

TapVerdict X11EventTap::Worker::ask(const KeyEvent& event) {
    auto pending = std::make_shared<Pending>();
    post(event, pending);
    std::unique_lock lock(state_->mutex);
    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::duration<double>(X11EventTap::kVerdictTimeout);
    state_->cv.wait_until(lock, deadline, [&] {
        return pending->state == Pending::State::Done || state_->stopping;
    });
    if (pending->state == Pending::State::Done) return pending->verdict;
    // A busy main thread must not freeze the keyboard: the press passes.
    pending->state = Pending::State::Abandoned;
    ++state_->abandoned;
    return TapVerdict::Keep;
}

// ---------------------------------------------------------------------------------------------

X11EventTap::X11EventTap(std::string display)
    : display_(std::move(display)), state_(std::make_shared<SharedState>()) {}

X11EventTap::~X11EventTap() { stop(); }

bool X11EventTap::start(std::function<TapVerdict(const KeyEvent&)> handler) {
    if (thread_.joinable()) return true;
    if (!QCoreApplication::instance()) return false;
    auto conn = std::make_unique<XConnection>(display_.empty() ? nullptr : display_.c_str());
    if (!conn->isValid()) return false;
    xcb_connection_t* c = conn->get();

    // XInput 2 raw key events on the root window.
    const xcb_query_extension_reply_t* xi = xcb_get_extension_data(c, &xcb_input_id);
    if (!xi || !xi->present) return false;
    auto version = reply(
        xcb_input_xi_query_version_reply(c, xcb_input_xi_query_version(c, 2, 2), nullptr));
    if (!version || version->major_version < 2) return false;
    struct {
        xcb_input_event_mask_t head;
        std::uint32_t mask;
    } rawMask{{XCB_INPUT_DEVICE_ALL_MASTER, 1},
              XCB_INPUT_XI_EVENT_MASK_RAW_KEY_PRESS | XCB_INPUT_XI_EVENT_MASK_RAW_KEY_RELEASE};
    if (reply(xcb_request_check(
            c, xcb_input_xi_select_events_checked(c, conn->root(), 1, &rawMask.head))))
        return false;

    // XKB, to hear about keymap and layout changes.
    const xcb_query_extension_reply_t* xkb = xcb_get_extension_data(c, &xcb_xkb_id);
    if (!xkb || !xkb->present) return false;
    auto use = reply(xcb_xkb_use_extension_reply(c, xcb_xkb_use_extension(c, 1, 0), nullptr));
    if (!use || !use->supported) return false;
    const std::uint16_t xkbEvents =
        XCB_XKB_EVENT_TYPE_NEW_KEYBOARD_NOTIFY | XCB_XKB_EVENT_TYPE_MAP_NOTIFY;
    xcb_xkb_select_events(c, XCB_XKB_ID_USE_CORE_KBD, xkbEvents, 0, xkbEvents, 0xff, 0xff,
                          nullptr);
    xcb_flush(c);

    wakeFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wakeFd_ < 0) return false;
    {
        std::lock_guard lock(state_->mutex);
        state_->stopping = false;
    }
    state_->handler = std::move(handler);
    state_->alive = true;
    worker_ = std::make_unique<Worker>(std::move(conn), xi->major_opcode, xkb->first_event,
                                       state_, wakeFd_, grabCount_);
    thread_ = std::thread([w = worker_.get()] { w->run(); });
    return true;
}

void X11EventTap::stop() {
    state_->alive = false;
    state_->handler = nullptr;
    if (!thread_.joinable()) return;
    {
        std::lock_guard lock(state_->mutex);
        state_->stopping = true;
    }
    state_->cv.notify_all();
    const std::uint64_t one = 1;
    if (::write(wakeFd_, &one, sizeof one) < 0) {}
    thread_.join();
    worker_.reset();
    ::close(wakeFd_);
    wakeFd_ = -1;
}

void X11EventTap::setGrabs(const TapGrabs& grabs) {
    {
        std::lock_guard lock(state_->mutex);
        state_->grabs = grabs;
        state_->haveGrabs = true;
        ++state_->requestedGeneration;
    }
    if (wakeFd_ >= 0) {
        const std::uint64_t one = 1;
        if (::write(wakeFd_, &one, sizeof one) < 0) {}
    }
}

int X11EventTap::abandonedEvents() const { return state_->abandoned.load(); }

int X11EventTap::skippedEvents() const { return state_->skipped.load(); }

bool X11EventTap::grabsSettled() const {
    std::lock_guard lock(state_->mutex);
    return state_->appliedGeneration == state_->requestedGeneration;
}

}  // namespace mirano::x11
