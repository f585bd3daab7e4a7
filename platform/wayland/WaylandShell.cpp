// Picks the implementation of each desktop service that the running compositor supports.
#include "platform/wayland/WaylandShell.h"

#include <QDBusConnection>
#include <QtGlobal>

#include "platform/wayland/KWinScript.h"
#include "platform/wayland/KWinWindows.h"
#include "platform/wayland/ToplevelList.h"
#include "platform/wayland/UnlistedWindows.h"
#include "platform/wayland/WaylandPanelWindowSystem.h"
#include "platform/wayland/WlrWindows.h"

namespace mirano::wayland {

void prepareQtForPanels() { qputenv("QT_WAYLAND_DISABLE_FIXED_POSITIONS", "1"); }

std::unique_ptr<PanelWindowSystem> makePanelWindowSystem() {
    return std::make_unique<WaylandPanelWindowSystem>();
}

std::unique_ptr<WaylandWindows> makeWindows(std::shared_ptr<ToplevelList> list, QObject* parent) {
    if (list && list->isAvailable()) return std::make_unique<WlrWindows>(std::move(list), parent);
    const QDBusConnection bus = QDBusConnection::sessionBus();
    if (KWinScript::isAvailable(bus)) return std::make_unique<KWinWindows>(bus, parent);
    return std::make_unique<UnlistedWindows>(parent);
}

}  // namespace mirano::wayland
