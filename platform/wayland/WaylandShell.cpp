// Picks the implementation of each desktop service that the running compositor supports.
#include "platform/wayland/WaylandShell.h"

#include <QDBusConnection>
#include <QtGlobal>

#include "platform/wayland/kwin/KWinWindows.h"
#include "platform/wayland/panel/PanelSurface.h"
#include "platform/wayland/panel/WaylandPanelWindowSystem.h"
#include "platform/wayland/toplevels/SwayProcesses.h"
#include "platform/wayland/toplevels/ToplevelList.h"
#include "platform/wayland/toplevels/UnlistedWindows.h"
#include "platform/wayland/toplevels/WlrWindows.h"

namespace mirano::wayland {

void prepareQtForPanels() { qputenv("QT_WAYLAND_DISABLE_FIXED_POSITIONS", "1"); }

std::unique_ptr<PanelWindowSystem> makePanelWindowSystem(PanelMode mode) {
    return std::make_unique<WaylandPanelWindowSystem>(mode == PanelMode::layerSurface);
}

std::unique_ptr<WaylandWindows> makeWindows(FocusSource focus, std::shared_ptr<ToplevelList> list,
                                            QObject* parent) {
    switch (focus) {
        case FocusSource::toplevelList:
            return std::make_unique<WlrWindows>(std::move(list), &PanelSurface::anyHasKeys,
                                                SwayProcesses::connectToSway(), parent);
        case FocusSource::kwinScript:
            return std::make_unique<KWinWindows>(QDBusConnection::sessionBus(), parent);
        case FocusSource::none:
            break;
    }
    return std::make_unique<UnlistedWindows>(parent);
}

}  // namespace mirano::wayland
