// The RENDER picture formats of the server that capture draws with.
#pragma once

#include <xcb/render.h>

#include <cstdint>
#include <optional>
#include <unordered_map>

namespace mirano::x11 {

/// Read once per connection; looking a format up never changes what was read.
class PictFormats {
public:
    /// Asks the server (RENDER must be present); nothing when it lists no formats.
    static std::optional<PictFormats> query(xcb_connection_t* connection);

    /// 32-bit ARGB, for scaled pictures; 0 when the server has none.
    xcb_render_pictformat_t argb32() const { return argb32_; }
    /// 8-bit alpha only, for masks; 0 when the server has none.
    xcb_render_pictformat_t a8() const { return a8_; }
    /// The format of windows of `visual`, or 0 when RENDER has none for it.
    xcb_render_pictformat_t forVisual(xcb_visualid_t visual) const;
    /// The depth of `format`, or 0 for a format the server did not list.
    std::uint8_t depth(xcb_render_pictformat_t format) const;

private:
    xcb_render_pictformat_t argb32_ = 0;
    xcb_render_pictformat_t a8_ = 0;
    std::unordered_map<xcb_visualid_t, xcb_render_pictformat_t> visuals_;
    std::unordered_map<xcb_render_pictformat_t, std::uint8_t> depths_;
};

}  // namespace mirano::x11
