// The keyboard tap thread: raw key events from XInput 2, asynchronous grabs for the keys Mirano
// takes, and the hand-off of each event to the main thread.
#include "platform/x11/X11EventTap.h"

#include <xcb/xinput.h>

#include "platform/qt/QueuedCall.h"
#include "platform/x11/Extensions.h"
#include "platform/x11/KeyGrabSet.h"
#include "platform/x11/KeyboardModifiers.h"
#include "platform/x11/XConnection.h"
// xkb.h names a field "explicit", a C++ keyword.
#define explicit xkb_explicit
#include <xcb/xkb.h>
#undef explicit

#include <linux/input-event-codes.h>
#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <QCoreApplication>
#include <algorithm>
#include <array>
#include <bit>
#include <deque>
#include <mutex>
#include <vector>

namespace mirano::x11 {

struct X11EventTap::SharedState {
    std::mutex mutex;
    // Guarded by mutex.
    bool stopping = false;
    TapGrabs grabs;
    bool haveGrabs = false;
    std::uint64_t requestedGeneration = 0;
    std::uint64_t appliedGeneration = 0;

    // Main thread only.
    std::function<void(const KeyEvent&)> onKey;
    std::function<void(const TapGrabs&)> onTriggerTaken;
    bool alive = false;
};

/// Everything that runs on the tap thread. Owns the connection and the grabs.
class X11EventTap::Worker {
public:
    Worker(std::unique_ptr<XConnection> conn, std::uint8_t xiOpcode, std::uint8_t xkbEventBase,
           std::shared_ptr<SharedState> state, int wakeFd, std::atomic<int>& grabCount,
           std::atomic<bool>& armed)
        : conn_(std::move(conn)),
          c_(conn_->get()),
          xiOpcode_(xiOpcode),
          xkbEventBase_(xkbEventBase),
          state_(std::move(state)),
          wakeFd_(wakeFd),
          grabCount_(grabCount),
          armedFlag_(armed),
          main_(c_, conn_->root()),
          armed_(c_, conn_->root()) {}

    ~Worker() {
        // The thread has ended: release the grabs before the connection goes.
        armed_.clear();
        main_.clear();
        grabCount_ = 0;
        armedFlag_ = false;
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
    void modifiersChanged(double time);
    void applyGrabs();
    /// Whether another client holds a combination of the chosen modifier and the trigger.
    bool triggerTaken();
    void arm();
    void disarm();
    void countGrabs();
    Modifiers held() const;
    /// Runs `task` on the main thread unless the tap has been stopped by then.
    void toMain(std::function<void(SharedState&)> task);

    std::unique_ptr<XConnection> conn_;
    xcb_connection_t* c_;
    std::uint8_t xiOpcode_;
    std::uint8_t xkbEventBase_;
    std::shared_ptr<SharedState> state_;
    int wakeFd_;
    std::atomic<int>& grabCount_;
    std::atomic<bool>& armedFlag_;

    KeyboardModifiers mods_;
    bool keymapDirty_ = true;
    // Whether the chosen combination or the keymap changed since it was last checked.
    bool checkTrigger_ = true;
    std::uint64_t appliedGeneration_ = 0;
    TapGrabs grabs_;
    bool haveGrabs_ = false;

    // Keys taken while the settings stand: the Menu key for fn, the panel keys while hovering.
    KeyGrabSet main_;
    // The trigger key, taken only while the chosen modifier is down.
    KeyGrabSet armed_;
    bool isArmed_ = false;
    std::optional<std::uint8_t> trigger_;

    std::array<bool, 256> down_{};
    std::deque<Event> queued_;
    std::vector<const xcb_generic_event_t*> paired_;
};

void X11EventTap::Worker::run() {
    pthread_setname_np(pthread_self(), "mirano-hotkeys");
    const int xfd = xcb_get_file_descriptor(c_);
    while (true) {
        {
            std::lock_guard lock(state_->mutex);
            if (state_->stopping) break;
            if (state_->requestedGeneration != appliedGeneration_) {
                if (state_->grabs.modifier != grabs_.modifier ||
                    state_->grabs.triggerKey != grabs_.triggerKey || !haveGrabs_)
                    checkTrigger_ = true;
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
            if (::read(wakeFd_, &v, sizeof v) < 0) {
            }
            continue;
        }
        pollfd fds[2] = {{xfd, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
        ::poll(fds, 2, -1);
        if (fds[1].revents & POLLIN) {
            std::uint64_t v;
            if (::read(wakeFd_, &v, sizeof v) < 0) {
            }
        }
    }
    // Leave the keyboard as we found it.
    if (alive()) {
        armed_.clear();
        main_.clear();
        countGrabs();
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
        if (ge->event_type != XCB_INPUT_RAW_KEY_PRESS &&
            ge->event_type != XCB_INPUT_RAW_KEY_RELEASE)
            return;
        const auto* raw = reinterpret_cast<const xcb_input_raw_key_press_event_t*>(ev);
        onRawKey(ge->event_type == XCB_INPUT_RAW_KEY_PRESS, static_cast<std::uint8_t>(raw->detail),
                 raw->time);
    } else if (type == XCB_KEY_PRESS) {
        onCorePress(reinterpret_cast<const xcb_key_press_event_t*>(ev));
        const auto it = std::find(paired_.begin(), paired_.end(), ev);
        if (it != paired_.end()) paired_.erase(it);
    } else if (type == XCB_KEY_RELEASE) {
        // While a grab of ours is active the server sends us releases as core events only.
        const auto* release = reinterpret_cast<const xcb_key_release_event_t*>(ev);
        onRawKey(false, release->detail, release->time);
    } else if (type == XCB_MAPPING_NOTIFY) {
        keymapDirty_ = checkTrigger_ = true;
    } else if (type == xkbEventBase_) {
        const auto* xkb = reinterpret_cast<const xcb_xkb_new_keyboard_notify_event_t*>(ev);
        if (xkb->xkbType == XCB_XKB_NEW_KEYBOARD_NOTIFY || xkb->xkbType == XCB_XKB_MAP_NOTIFY)
            keymapDirty_ = checkTrigger_ = true;
    }
}

void X11EventTap::Worker::onRawKey(bool press, std::uint8_t keycode, xcb_timestamp_t time) {
    const double seconds = time / 1000.0;
    const bool modifierKey = mods_.isModifierKey(keycode);
    if (!press) {
        if (!down_[keycode]) return;
        down_[keycode] = false;
        if (modifierKey) modifiersChanged(seconds);
        return;
    }
    const bool wasDown = down_[keycode];
    down_[keycode] = true;
    if (modifierKey) {
        if (!wasDown) modifiersChanged(seconds);
        return;
    }
    // A grabbed press comes again as a KeyPress, which is the one that counts.
    if ((main_.covers(keycode) || armed_.covers(keycode)) && corePressFollows(keycode)) return;
    const KeyEvent event{KeyEventKind::KeyDown, evdevCode(keycode), held(), seconds, false};
    toMain([event](SharedState& s) {
        if (const auto handler = s.onKey) handler(event);
    });
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
    // Every KeyPress we get was taken from the focused window by a grab of ours. End the grab
    // it activated at once: the next keys go to the focused window again, and their raw events
    // reach us (the server sends the grabbing client none). A late ungrab (we were stopped) is
    // ignored by the server when a newer grab is active.
    xcb_ungrab_keyboard(c_, ev->time);
    xcb_flush(c_);
    const std::uint8_t keycode = ev->detail;
    const double seconds = ev->time / 1000.0;
    if (mods_.isModifierKey(keycode)) {
        // The Menu key standing for fn: taken, so that the focused window never sees it.
        if (!down_[keycode]) {
            down_[keycode] = true;
            modifiersChanged(seconds);
        }
    } else {
        // Auto-repeated presses come without a raw event; they count like first presses.
        down_[keycode] = true;
        const KeyEvent event{KeyEventKind::KeyDown, evdevCode(keycode), held(), seconds, true};
        toMain([event](SharedState& s) {
            if (const auto handler = s.onKey) handler(event);
        });
    }
}

void X11EventTap::Worker::modifiersChanged(double time) {
    const Modifiers now = held();
    // The trigger is taken exactly while the chosen modifier is down.
    if (now & grabs_.modifier)
        arm();
    else
        disarm();
    const KeyEvent event{KeyEventKind::ModifiersChanged, 0, now, time, false};
    toMain([event](SharedState& s) {
        if (const auto handler = s.onKey) handler(event);
    });
}

void X11EventTap::Worker::applyGrabs() {
    armed_.clear();
    main_.clear();
    isArmed_ = false;
    trigger_.reset();
    if (haveGrabs_) {
        const std::uint16_t locks = mods_.lockMods();
        const auto nonLock = static_cast<std::uint16_t>(mods_.usedMods() & ~locks & 0xff);
        const std::uint16_t allMods = mods_.usedMods() | XCB_MOD_MASK_LOCK;
        if (grabs_.triggerKey) trigger_ = xKeycode(*grabs_.triggerKey);
        bool taken = checkTrigger_ && triggerTaken();
        if (grabs_.modifier == Modifier::Menu) {
            // The Menu key stands for fn and is always ours, whatever else is held.
            for (std::uint8_t k : mods_.keycodesOf(Modifier::Menu))
                if (!main_.grabAnyModifier(k, allMods)) taken = taken || checkTrigger_;
        }
        if (taken) {
            const TapGrabs grabs = grabs_;
            toMain([grabs](SharedState& s) {
                if (const auto handler = s.onTriggerTaken) handler(grabs);
            });
        }
        checkTrigger_ = false;
        if (grabs_.panelKeys) {
            if (auto k = xKeycode(KEY_BACKSPACE)) main_.grab(*k, 0, nonLock, locks);
            for (std::uint16_t code : {KEY_F, KEY_EQUAL, KEY_MINUS}) {
                if (auto k = xKeycode(code)) main_.grab(*k, 0, XCB_MOD_MASK_SHIFT, locks);
            }
            if (auto k = xKeycode(KEY_COMMA)) {
                for (std::uint16_t m : mods_.modMasksOf(kAnySuper))
                    main_.grab(*k, m, static_cast<std::uint16_t>(nonLock & ~m), locks);
            }
        }
        if (held() & grabs_.modifier) arm();
    }
    xcb_flush(c_);
    countGrabs();
}

bool X11EventTap::Worker::triggerTaken() {
    if (!trigger_) return false;
    // Try each combination of the trigger with the chosen modifier's X mods and let it go
    // again; one that another client holds is refused.
    const std::uint16_t locks = mods_.lockMods();
    const std::vector<std::uint16_t> masks = grabs_.modifier == Modifier::Menu
                                                 ? std::vector<std::uint16_t>{0}
                                                 : mods_.modMasksOf(grabs_.modifier);
    KeyGrabSet probe(c_, conn_->root());
    for (std::uint16_t m : masks) {
        const int combinations = 1 << std::popcount(static_cast<unsigned>(locks & ~m));
        if (probe.grab(*trigger_, m, 0, locks) < combinations) return true;
    }
    return false;
}

void X11EventTap::Worker::arm() {
    if (isArmed_ || !trigger_ || !alive()) return;
    armed_.grabAnyModifier(*trigger_, mods_.usedMods() | XCB_MOD_MASK_LOCK);
    xcb_flush(c_);
    isArmed_ = true;
    countGrabs();
}

void X11EventTap::Worker::disarm() {
    if (!isArmed_) return;
    armed_.clear();
    isArmed_ = false;
    // Letting the trigger go with any modifier also let go of a panel grab on the same key.
    if (trigger_ && main_.covers(*trigger_)) applyGrabs();
    countGrabs();
}

void X11EventTap::Worker::countGrabs() {
    grabCount_ = static_cast<int>(main_.size() + armed_.size());
    armedFlag_ = isArmed_;
}

Modifiers X11EventTap::Worker::held() const {
    Modifiers m;
    for (int k = 0; k < 256; ++k)
        if (down_[k]) m |= mods_.modifierOf(static_cast<std::uint8_t>(k));
    return m;
}

void X11EventTap::Worker::toMain(std::function<void(SharedState&)> task) {
    std::shared_ptr<SharedState> state = state_;
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) return;
    postQueued(app, [state, task = std::move(task)] {
        if (state->alive) task(*state);
    });
}

// ---------------------------------------------------------------------------------------------

X11EventTap::X11EventTap(std::string display)
    : display_(std::move(display)), state_(std::make_shared<SharedState>()) {}

X11EventTap::~X11EventTap() { stop(); }

bool X11EventTap::start(std::function<void(const KeyEvent&)> onKey,
                        std::function<void(const TapGrabs&)> onTriggerTaken) {
    if (thread_.joinable()) return true;
    if (!QCoreApplication::instance()) return false;
    auto conn = std::make_unique<XConnection>(display_.empty() ? nullptr : display_.c_str());
    if (!conn->isValid()) return false;
    xcb_connection_t* c = conn->get();

    // XInput 2 raw key events on the root window.
    const xcb_query_extension_reply_t* xi = extensionData(c, Extension::input);
    if (!xi || !hasExtension(c, Extension::input, 2, 0)) return false;
    struct {
        xcb_input_event_mask_t head;
        std::uint32_t mask;
    } rawMask{{XCB_INPUT_DEVICE_ALL_MASTER, 1},
              XCB_INPUT_XI_EVENT_MASK_RAW_KEY_PRESS | XCB_INPUT_XI_EVENT_MASK_RAW_KEY_RELEASE};
    if (reply(xcb_request_check(
            c, xcb_input_xi_select_events_checked(c, conn->root(), 1, &rawMask.head))))
        return false;

    // XKB, to hear about keymap and layout changes.
    const xcb_query_extension_reply_t* xkb = extensionData(c, Extension::xkb);
    if (!xkb || !hasExtension(c, Extension::xkb, 1, 0)) return false;
    const std::uint16_t xkbEvents =
        XCB_XKB_EVENT_TYPE_NEW_KEYBOARD_NOTIFY | XCB_XKB_EVENT_TYPE_MAP_NOTIFY;
    xcb_xkb_select_events(c, XCB_XKB_ID_USE_CORE_KBD, xkbEvents, 0, xkbEvents, 0xff, 0xff, nullptr);
    xcb_flush(c);

    wakeFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wakeFd_ < 0) return false;
    {
        std::lock_guard lock(state_->mutex);
        state_->stopping = false;
    }
    state_->onKey = std::move(onKey);
    state_->onTriggerTaken = std::move(onTriggerTaken);
    state_->alive = true;
    worker_ = std::make_unique<Worker>(std::move(conn), xi->major_opcode, xkb->first_event, state_,
                                       wakeFd_, grabCount_, armed_);
    thread_ = std::thread([w = worker_.get()] { w->run(); });
    return true;
}

void X11EventTap::stop() {
    state_->alive = false;
    state_->onKey = nullptr;
    state_->onTriggerTaken = nullptr;
    if (!thread_.joinable()) return;
    {
        std::lock_guard lock(state_->mutex);
        state_->stopping = true;
    }
    const std::uint64_t one = 1;
    if (::write(wakeFd_, &one, sizeof one) < 0) {
    }
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
        if (::write(wakeFd_, &one, sizeof one) < 0) {
        }
    }
}

bool X11EventTap::grabsSettled() const {
    std::lock_guard lock(state_->mutex);
    return state_->appliedGeneration == state_->requestedGeneration;
}

}  // namespace mirano::x11
