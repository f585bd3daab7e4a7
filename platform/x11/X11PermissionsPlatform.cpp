// The real permission checks of this process.
#include "platform/Platform.h"
#include "platform/x11/X11Desktop.h"
#include "platform/x11/X11Permissions.h"

namespace mirano {

Permissions& Platform::permissions() {
    static auto* permissions =
        new x11::X11Permissions(x11::X11Desktop::shared(), Platform::real().notifications());
    return *permissions;
}

}  // namespace mirano
