// Interning atoms, and the cache that keeps only what the server answered.
#include "platform/x11/Atoms.h"

#include <cstring>

#include "platform/x11/XConnection.h"

namespace mirano::x11 {

std::vector<xcb_atom_t> internAtoms(xcb_connection_t* connection,
                                    const std::vector<const char*>& names) {
    std::vector<xcb_atom_t> atoms(names.size(), XCB_ATOM_NONE);
    if (!connection || xcb_connection_has_error(connection)) return atoms;
    std::vector<xcb_intern_atom_cookie_t> cookies;
    cookies.reserve(names.size());
    for (const char* name : names)
        cookies.push_back(
            xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name));
    for (std::size_t i = 0; i < names.size(); ++i) {
        auto r = reply(xcb_intern_atom_reply(connection, cookies[i], nullptr));
        if (r) atoms[i] = r->atom;
    }
    return atoms;
}

AtomCache::AtomCache(xcb_connection_t* connection)
    : intern_([connection](const std::vector<const char*>& names) {
          return internAtoms(connection, names);
      }) {}

AtomCache::AtomCache(Intern intern) : intern_(std::move(intern)) {}

xcb_atom_t AtomCache::get(const char* name) {
    if (auto it = known_.constFind(QByteArray(name)); it != known_.constEnd()) return *it;
    preload({name});
    return known_.value(QByteArray(name), XCB_ATOM_NONE);
}

void AtomCache::preload(const std::vector<const char*>& names) {
    std::vector<const char*> unknown;
    for (const char* name : names)
        if (!known_.contains(QByteArray(name))) unknown.push_back(name);
    if (unknown.empty()) return;
    const std::vector<xcb_atom_t> atoms = intern_(unknown);
    for (std::size_t i = 0; i < unknown.size() && i < atoms.size(); ++i)
        if (atoms[i] != XCB_ATOM_NONE) known_.insert(QByteArray(unknown[i]), atoms[i]);
}

}  // namespace mirano::x11
