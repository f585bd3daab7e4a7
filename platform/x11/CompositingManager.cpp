// The compositing manager's selection, asked of the server.
#include "platform/x11/CompositingManager.h"

#include <QByteArray>

#include "platform/x11/Atoms.h"
#include "platform/x11/XConnection.h"

namespace mirano::x11 {

bool compositingManagerRuns(xcb_connection_t* connection, AtomCache& atoms, int screenNumber) {
    if (!connection || xcb_connection_has_error(connection)) return false;
    const QByteArray name = "_NET_WM_CM_S" + QByteArray::number(screenNumber);
    const xcb_atom_t selection = atoms.get(name.constData());
    if (selection == XCB_ATOM_NONE) return false;
    auto owner = reply(xcb_get_selection_owner_reply(
        connection, xcb_get_selection_owner(connection, selection), nullptr));
    return owner && owner->owner != XCB_NONE;
}

}  // namespace mirano::x11
