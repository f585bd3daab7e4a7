// Atom names interned on the X server and remembered per connection.
#pragma once

#include <xcb/xcb.h>

#include <QByteArray>
#include <QHash>
#include <functional>
#include <vector>

namespace mirano::x11 {

/// Interns `names` with one round trip; XCB_ATOM_NONE for each name the server did not answer.
std::vector<xcb_atom_t> internAtoms(xcb_connection_t* connection,
                                    const std::vector<const char*>& names);

/// The atoms of one connection by name, each asked of the server once. A lookup that fails
/// (no answer) is not kept: the next use asks again.
class AtomCache {
public:
    /// Asks the server for several atoms at once (internAtoms, or a script in tests).
    using Intern = std::function<std::vector<xcb_atom_t>(const std::vector<const char*>&)>;

    /// Interns on `connection` (null: every lookup fails).
    explicit AtomCache(xcb_connection_t* connection);
    explicit AtomCache(Intern intern);

    /// The atom named `name`, or XCB_ATOM_NONE when the server could not be asked.
    xcb_atom_t get(const char* name);
    /// Interns the names not known yet with one round trip.
    void preload(const std::vector<const char*>& names);

private:
    Intern intern_;
    QHash<QByteArray, xcb_atom_t> known_;
};

}  // namespace mirano::x11
