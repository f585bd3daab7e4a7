// Presence and version of the X extensions, one request each.
#include "platform/x11/Extensions.h"

#include <xcb/composite.h>
#include <xcb/damage.h>
#include <xcb/render.h>
#include <xcb/res.h>
#include <xcb/shape.h>
#include <xcb/shm.h>
#include <xcb/xfixes.h>
#include <xcb/xinput.h>

#include <optional>
#include <utility>

#include "platform/x11/XConnection.h"
// xkb.h names a field "explicit", a C++ keyword.
#define explicit xkb_explicit
#include <xcb/xkb.h>
#undef explicit

namespace mirano::x11 {

namespace {

using Version = std::pair<int, int>;

xcb_extension_t* id(Extension extension) {
    switch (extension) {
        case Extension::composite:
            return &xcb_composite_id;
        case Extension::damage:
            return &xcb_damage_id;
        case Extension::xfixes:
            return &xcb_xfixes_id;
        case Extension::render:
            return &xcb_render_id;
        case Extension::shm:
            return &xcb_shm_id;
        case Extension::input:
            return &xcb_input_id;
        case Extension::xkb:
            return &xcb_xkb_id;
        case Extension::shape:
            return &xcb_shape_id;
        case Extension::res:
            return &xcb_res_id;
    }
    return nullptr;
}

template <typename T>
std::optional<Version> versionOf(const XReply<T>& r) {
    if (!r) return std::nullopt;
    return Version(r->major_version, r->minor_version);
}

/// Tells the server the version we speak; its answer is the version both use.
std::optional<Version> agree(xcb_connection_t* c, Extension extension) {
    switch (extension) {
        case Extension::composite:
            return versionOf(reply(xcb_composite_query_version_reply(
                c, xcb_composite_query_version(c, 0, 4), nullptr)));
        case Extension::damage:
            return versionOf(reply(
                xcb_damage_query_version_reply(c, xcb_damage_query_version(c, 1, 1), nullptr)));
        case Extension::xfixes:
            return versionOf(reply(
                xcb_xfixes_query_version_reply(c, xcb_xfixes_query_version(c, 2, 0), nullptr)));
        case Extension::render:
            return versionOf(reply(
                xcb_render_query_version_reply(c, xcb_render_query_version(c, 0, 11), nullptr)));
        case Extension::shm:
            return versionOf(
                reply(xcb_shm_query_version_reply(c, xcb_shm_query_version(c), nullptr)));
        case Extension::input:
            return versionOf(reply(
                xcb_input_xi_query_version_reply(c, xcb_input_xi_query_version(c, 2, 2), nullptr)));
        case Extension::shape:
            return versionOf(
                reply(xcb_shape_query_version_reply(c, xcb_shape_query_version(c), nullptr)));
        case Extension::xkb: {
            auto r = reply(xcb_xkb_use_extension_reply(c, xcb_xkb_use_extension(c, 1, 0), nullptr));
            if (!r || !r->supported) return std::nullopt;
            return Version(r->serverMajor, r->serverMinor);
        }
        case Extension::res: {
            auto r = reply(xcb_res_query_version_reply(c, xcb_res_query_version(c, 1, 2), nullptr));
            if (!r) return std::nullopt;
            return Version(r->server_major, r->server_minor);
        }
    }
    return std::nullopt;
}

}  // namespace

const xcb_query_extension_reply_t* extensionData(xcb_connection_t* connection,
                                                 Extension extension) {
    if (!connection || xcb_connection_has_error(connection)) return nullptr;
    const xcb_query_extension_reply_t* data = xcb_get_extension_data(connection, id(extension));
    return data && data->present ? data : nullptr;
}

bool hasExtension(xcb_connection_t* connection, Extension extension, int major, int minor) {
    if (!extensionData(connection, extension)) return false;
    const std::optional<Version> version = agree(connection, extension);
    return version && *version >= Version(major, minor);
}

}  // namespace mirano::x11
