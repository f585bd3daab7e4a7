// Reads which key types each character, with xkbcommon-x11.
#include "platform/x11/XkbKeyboardLayout.h"

#include "platform/x11/KeyboardModifiers.h"

// xkb.h names a field "explicit", a C++ keyword.
#define explicit xkb_explicit
#include <xcb/xkb.h>
#undef explicit
#include <xkbcommon/xkbcommon-x11.h>
#include <xkbcommon/xkbcommon.h>

#include <QSocketNotifier>

namespace mirano::x11 {

XkbKeyboardLayout::XkbKeyboardLayout(const char* display, QObject* parent)
    : KeyboardLayout(parent) {
    conn_ = std::make_unique<XConnection>(display);
    if (!setUp()) return;
    notifier_ = std::make_unique<QSocketNotifier>(xcb_get_file_descriptor(conn_->get()),
                                                  QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, &XkbKeyboardLayout::readEvents);
}

XkbKeyboardLayout::~XkbKeyboardLayout() {
    notifier_.reset();
    if (keymap_) xkb_keymap_unref(keymap_);
    if (context_) xkb_context_unref(context_);
}

bool XkbKeyboardLayout::setUp() {
    if (!conn_->isValid()) return false;
    xcb_connection_t* c = conn_->get();
    if (!xkb_x11_setup_xkb_extension(
            c, XKB_X11_MIN_MAJOR_XKB_VERSION, XKB_X11_MIN_MINOR_XKB_VERSION,
            XKB_X11_SETUP_XKB_EXTENSION_NO_FLAGS, nullptr, nullptr, &xkbEventBase_, nullptr))
        return false;
    deviceId_ = xkb_x11_get_core_keyboard_device_id(c);
    if (deviceId_ < 0) return false;
    context_ = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    if (!context_) return false;

    // A new keyboard or keymap, and a change of group, change the characters.
    const std::uint16_t events = XCB_XKB_EVENT_TYPE_NEW_KEYBOARD_NOTIFY |
                                 XCB_XKB_EVENT_TYPE_MAP_NOTIFY | XCB_XKB_EVENT_TYPE_STATE_NOTIFY;
    const std::uint16_t maps =
        XCB_XKB_MAP_PART_KEY_TYPES | XCB_XKB_MAP_PART_KEY_SYMS | XCB_XKB_MAP_PART_MODIFIER_MAP;
    xcb_xkb_select_events_details_t details{};
    details.affectState = XCB_XKB_STATE_PART_GROUP_STATE;
    details.stateDetails = XCB_XKB_STATE_PART_GROUP_STATE;
    details.affectNewKeyboard = XCB_XKB_NKN_DETAIL_KEYCODES;
    details.newKeyboardDetails = XCB_XKB_NKN_DETAIL_KEYCODES;
    auto cookie = xcb_xkb_select_events_aux_checked(
        c, static_cast<xcb_xkb_device_spec_t>(deviceId_), events, 0, 0, maps, maps, &details);
    if (auto error = reply(xcb_request_check(c, cookie))) return false;
    reload();
    return available_;
}

bool XkbKeyboardLayout::reload() {
    xcb_connection_t* c = conn_->get();
    const auto before = table_;
    xkb_keymap* keymap =
        xkb_x11_keymap_new_from_device(context_, c, deviceId_, XKB_KEYMAP_COMPILE_NO_FLAGS);
    if (!keymap) {
        // Keep what we had: a passing failure must not make every hotkey vanish.
        return false;
    }
    if (keymap_) xkb_keymap_unref(keymap_);
    keymap_ = keymap;
    if (xkb_state* state = xkb_x11_state_new_from_device(keymap_, c, deviceId_)) {
        group_ = static_cast<int>(xkb_state_serialize_layout(state, XKB_STATE_LAYOUT_EFFECTIVE));
        xkb_state_unref(state);
    }
    fillTable();
    available_ = true;
    return before != table_;
}

void XkbKeyboardLayout::fillTable() {
    table_.clear();
    const xkb_keycode_t last = xkb_keymap_max_keycode(keymap_);
    // Ascending keycodes, first one kept: the lowest key that types a character wins.
    for (xkb_keycode_t x = xkb_keymap_min_keycode(keymap_); x <= last; ++x) {
        const xkb_keysym_t* syms = nullptr;
        const int n = xkb_keymap_key_get_syms_by_level(
            keymap_, x, static_cast<xkb_layout_index_t>(group_), 0, &syms);
        if (n < 1 || x < kEvdevOffset || x > 255) continue;
        const std::uint32_t cp = xkb_keysym_to_utf32(syms[0]);
        // A character beyond the basic plane is not one UTF-16 unit; such keys match nothing.
        if (cp == 0 || cp > 0xFFFF) continue;
        table_.emplace(static_cast<char16_t>(cp), evdevCode(static_cast<std::uint8_t>(x)));
    }
}

std::optional<std::uint16_t> XkbKeyboardLayout::keyFor(const QString& character) const {
    const QString wanted = character.toLower();
    if (!available_ || wanted.size() != 1) return std::nullopt;
    const auto it = table_.find(wanted.at(0).unicode());
    if (it == table_.end()) return std::nullopt;
    return it->second;
}

void XkbKeyboardLayout::readEvents() {
    if (!conn_->isValid()) {
        notifier_->setEnabled(false);
        return;
    }
    bool reloadNeeded = false;
    int newGroup = group_;
    // Reloading does round trips that may queue more events, so drain until quiet.
    for (int round = 0; round < 4; ++round) {
        while (auto ev = reply(xcb_poll_for_event(conn_->get()))) {
            if ((ev->response_type & 0x7f) != xkbEventBase_) continue;
            // Every XKB event carries its subtype in the second byte.
            const auto* any =
                reinterpret_cast<const xcb_xkb_new_keyboard_notify_event_t*>(ev.get());
            switch (any->xkbType) {
                case XCB_XKB_NEW_KEYBOARD_NOTIFY:
                case XCB_XKB_MAP_NOTIFY:
                    reloadNeeded = true;
                    break;
                case XCB_XKB_STATE_NOTIFY:
                    newGroup =
                        reinterpret_cast<const xcb_xkb_state_notify_event_t*>(ev.get())->group;
                    break;
                default:
                    break;
            }
        }
        if (!reloadNeeded && newGroup == group_) break;
        bool changed = false;
        if (reloadNeeded) {
            changed = reload();
            reloadNeeded = false;
            newGroup = group_;
        } else {
            const auto before = table_;
            group_ = newGroup;
            fillTable();
            changed = before != table_;
        }
        if (changed) emit this->changed();
    }
}

}  // namespace mirano::x11
