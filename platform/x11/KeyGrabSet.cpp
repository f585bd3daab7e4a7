// Passive asynchronous key grabs with the lock-key variants, released as a set.
#include "platform/x11/KeyGrabSet.h"

#include <algorithm>

#include "platform/x11/XConnection.h"

namespace mirano::x11 {

namespace {
/// Every subset of the bits of `mask`.
std::vector<std::uint16_t> subsets(std::uint16_t mask) {
    std::vector<std::uint16_t> out;
    std::uint16_t s = 0;
    do {
        out.push_back(s);
        s = static_cast<std::uint16_t>((s - mask) & mask);
    } while (s != 0);
    return out;
}
}  // namespace

KeyGrabSet::~KeyGrabSet() { clear(); }

int KeyGrabSet::grab(std::uint8_t keycode, std::uint16_t base, std::uint16_t extras,
                     std::uint16_t locks) {
    extras &= static_cast<std::uint16_t>(~base);
    locks &= static_cast<std::uint16_t>(~base);
    std::vector<std::uint16_t> combos;
    for (std::uint16_t e : subsets(extras))
        for (std::uint16_t l : subsets(locks)) {
            const auto m = static_cast<std::uint16_t>(base | e | l);
            if (std::find(combos.begin(), combos.end(), m) == combos.end()) combos.push_back(m);
        }
    return grabCombinations(keycode, combos);
}

bool KeyGrabSet::grabAnyModifier(std::uint8_t keycode, std::uint16_t allMods) {
    if (grabCombinations(keycode, {XCB_MOD_MASK_ANY}) == 1) return true;
    // Someone holds one combination: take the others one by one.
    grab(keycode, 0, allMods, 0);
    return false;
}

int KeyGrabSet::grabCombinations(std::uint8_t keycode, const std::vector<std::uint16_t>& mods) {
    if (xcb_connection_has_error(c_)) return 0;
    std::vector<xcb_void_cookie_t> cookies;
    cookies.reserve(mods.size());
    for (std::uint16_t m : mods)
        cookies.push_back(xcb_grab_key_checked(c_, 0, root_, m, keycode, XCB_GRAB_MODE_ASYNC,
                                               XCB_GRAB_MODE_ASYNC));
    int held = 0;
    for (std::size_t i = 0; i < mods.size(); ++i) {
        // BadAccess: another client holds this combination; it stays theirs.
        if (auto error = reply(xcb_request_check(c_, cookies[i]))) continue;
        grabs_.emplace_back(keycode, mods[i]);
        ++held;
    }
    return held;
}

void KeyGrabSet::clear() {
    if (grabs_.empty()) return;
    if (!xcb_connection_has_error(c_)) {
        for (const auto& [keycode, mods] : grabs_) xcb_ungrab_key(c_, keycode, root_, mods);
        xcb_flush(c_);
    }
    grabs_.clear();
}

bool KeyGrabSet::covers(std::uint8_t keycode) const {
    return std::any_of(grabs_.begin(), grabs_.end(),
                       [keycode](const auto& g) { return g.first == keycode; });
}

}  // namespace mirano::x11
