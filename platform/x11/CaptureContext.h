// What every window capture on the capture thread shares: the connection and server facts.
#pragma once

#include <memory>

#include "platform/x11/PictFormats.h"
#include "platform/x11/XConnection.h"

namespace mirano::x11 {

struct CaptureContext {
    std::shared_ptr<XConnection> connection;
    /// First event code of the Damage extension.
    std::uint8_t damageEventBase = 0;
    /// MIT-SHM is there; without it client frames are copied through the connection.
    bool hasShm = false;
    /// RENDER is there: the server scales; without it frames are read whole and scaled here.
    bool hasRender = false;
    /// XFixes regions can be used (to learn what part of a window changed).
    bool hasRegions = false;
    /// RENDER's picture formats (none without RENDER).
    PictFormats formats;
};

}  // namespace mirano::x11
