// What every window capture on the capture thread shares: the connection and server facts.
#pragma once

#include <xcb/render.h>

#include <memory>
#include <unordered_map>

#include "platform/x11/XConnection.h"

namespace mirano::x11 {

struct CaptureContext {
    std::shared_ptr<XConnection> connection;
    /// First event code of the Damage extension.
    std::uint8_t damageEventBase = 0;
    /// The 32-bit ARGB picture format, for the scaled output.
    xcb_render_pictformat_t argb32Format = 0;
    /// The 8-bit alpha-only picture format, for masks.
    xcb_render_pictformat_t a8Format = 0;
    /// MIT-SHM is there; without it client frames are copied through the connection.
    bool hasShm = false;
    /// RENDER is there: the server scales; without it frames are read whole and scaled here.
    bool hasRender = false;
    /// XFixes regions can be used (to learn what part of a window changed).
    bool hasRegions = false;
    /// Picture format of each visual, for the windows' pixmaps.
    std::unordered_map<xcb_visualid_t, xcb_render_pictformat_t> visualFormats;
    /// Depth of each picture format.
    std::unordered_map<xcb_render_pictformat_t, std::uint8_t> formatDepths;
};

}  // namespace mirano::x11
