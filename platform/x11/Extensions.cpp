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

#include <algorithm>
#include <iterator>
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

template <typename T>
std::optional<Version> versionOf(T* raw) {
    const XReply<T> r(raw);
    if (!r) return std::nullopt;
    return Version(r->major_version, r->minor_version);
}

/// An extension, and how to tell the server the version we speak: its answer is the version
/// both use.
struct Known {
    Extension extension;
    xcb_extension_t* id;
    std::optional<Version> (*agree)(xcb_connection_t*);
};

const Known kKnown[] = {
    {Extension::composite, &xcb_composite_id,
     [](xcb_connection_t* c) {
         return versionOf(
             xcb_composite_query_version_reply(c, xcb_composite_query_version(c, 0, 4), nullptr));
     }},
    {Extension::damage, &xcb_damage_id,
     [](xcb_connection_t* c) {
         return versionOf(
             xcb_damage_query_version_reply(c, xcb_damage_query_version(c, 1, 1), nullptr));
     }},
    {Extension::xfixes, &xcb_xfixes_id,
     [](xcb_connection_t* c) {
         return versionOf(
             xcb_xfixes_query_version_reply(c, xcb_xfixes_query_version(c, 2, 0), nullptr));
     }},
    {Extension::render, &xcb_render_id,
     [](xcb_connection_t* c) {
         return versionOf(
             xcb_render_query_version_reply(c, xcb_render_query_version(c, 0, 11), nullptr));
     }},
    {Extension::shm, &xcb_shm_id,
     [](xcb_connection_t* c) {
         return versionOf(xcb_shm_query_version_reply(c, xcb_shm_query_version(c), nullptr));
     }},
    {Extension::input, &xcb_input_id,
     [](xcb_connection_t* c) {
         return versionOf(
             xcb_input_xi_query_version_reply(c, xcb_input_xi_query_version(c, 2, 2), nullptr));
     }},
    {Extension::shape, &xcb_shape_id,
     [](xcb_connection_t* c) {
         return versionOf(xcb_shape_query_version_reply(c, xcb_shape_query_version(c), nullptr));
     }},
    {Extension::xkb, &xcb_xkb_id,
     [](xcb_connection_t* c) -> std::optional<Version> {
         auto r = reply(xcb_xkb_use_extension_reply(c, xcb_xkb_use_extension(c, 1, 0), nullptr));
         if (!r || !r->supported) return std::nullopt;
         return Version(r->serverMajor, r->serverMinor);
     }},
    {Extension::res, &xcb_res_id,
     [](xcb_connection_t* c) -> std::optional<Version> {
         auto r = reply(xcb_res_query_version_reply(c, xcb_res_query_version(c, 1, 2), nullptr));
         if (!r) return std::nullopt;
         return Version(r->server_major, r->server_minor);
     }},
};

const Known& known(Extension extension) {
    return *std::find_if(std::begin(kKnown), std::end(kKnown),
                         [extension](const Known& k) { return k.extension == extension; });
}

}  // namespace

const xcb_query_extension_reply_t* extensionData(xcb_connection_t* connection,
                                                 Extension extension) {
    if (!connection || xcb_connection_has_error(connection)) return nullptr;
    const xcb_query_extension_reply_t* data =
        xcb_get_extension_data(connection, known(extension).id);
    return data && data->present ? data : nullptr;
}

bool hasExtension(xcb_connection_t* connection, Extension extension, int major, int minor) {
    if (!extensionData(connection, extension)) return false;
    const std::optional<Version> version = known(extension).agree(connection);
    return version && *version >= Version(major, minor);
}

}  // namespace mirano::x11
