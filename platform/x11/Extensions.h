// Which X extensions the server offers, and in which version.
#pragma once

#include <xcb/xcb.h>

namespace mirano::x11 {

/// The extensions Mirano uses.
enum class Extension { composite, damage, xfixes, render, shm, input, xkb, shape, res };

/// The server's facts about `extension` (first event, opcode), which XCB asks once per
/// connection; null when the server lacks it.
const xcb_query_extension_reply_t* extensionData(xcb_connection_t* connection, Extension extension);

/// Whether the server has `extension` in version `major`.`minor` or later. Asking tells the
/// server the version Mirano speaks, which most extensions want before their first request.
/// Nothing is sent for an extension the server lacks (XCB would close the connection).
bool hasExtension(xcb_connection_t* connection, Extension extension, int major = 0, int minor = 0);

}  // namespace mirano::x11
