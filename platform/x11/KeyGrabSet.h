// Passive key grabs on the root window, owned and released together.
#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <utility>
#include <vector>

namespace mirano::x11 {

/// Asynchronous passive grabs: a grabbed press goes to us instead of the focused window and the
/// keyboard never freezes, so a stopped or hung owner cannot hold the session's keys. The grab a
/// press activates ends when that key is released, or earlier when the owner ungrabs.
/// Combinations another client already holds are skipped. Not thread-safe: one thread owns it.
class KeyGrabSet {
public:
    KeyGrabSet(xcb_connection_t* c, xcb_window_t root) : c_(c), root_(root) {}
    ~KeyGrabSet();
    KeyGrabSet(const KeyGrabSet&) = delete;
    KeyGrabSet& operator=(const KeyGrabSet&) = delete;

    /// Grabs `keycode` with `base` plus every subset of `extras` and of `locks`. Returns how many
    /// combinations we now hold.
    int grab(std::uint8_t keycode, std::uint16_t base, std::uint16_t extras, std::uint16_t locks);
    /// Grabs `keycode` with any modifiers (one request when nobody else holds a combination).
    /// Returns whether every combination is ours.
    bool grabAnyModifier(std::uint8_t keycode, std::uint16_t allMods);
    /// Releases every grab of this set.
    void clear();
    /// Whether a grab of this set covers `keycode` at all.
    bool covers(std::uint8_t keycode) const;
    std::size_t size() const { return grabs_.size(); }

private:
    int grabCombinations(std::uint8_t keycode, const std::vector<std::uint16_t>& modifiers);

    xcb_connection_t* c_;
    xcb_window_t root_;
    std::vector<std::pair<std::uint8_t, std::uint16_t>> grabs_;
};

}  // namespace mirano::x11
