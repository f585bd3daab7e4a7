// What Mirano can do on this Wayland desktop, decided from what the desktop offers.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

#include "platform/wayland/client/WaylandRegistry.h"

namespace mirano::wayland {

/// The desktop portal's name on the session bus.
inline const QString kPortalName = QStringLiteral("org.freedesktop.portal.Desktop");

/// The screen-cast portal's `AvailableSourceTypes` bits and its interface version.
struct ScreenCastOffer {
    static constexpr unsigned monitorSource = 1;
    static constexpr unsigned windowSource = 2;
    unsigned sourceTypes = 0;
    unsigned version = 0;
};

/// What a Wayland desktop offers, as read at start.
struct DesktopFacts {
    /// The desktop's name as users know it ("sway", "KDE", "GNOME"); empty when unknown.
    QString compositor;
    QList<WaylandGlobal> globals;
    /// Names owned or activatable on the session bus.
    QStringList busNames;
    /// The org.freedesktop.portal.* interfaces the desktop portal exports; nothing when the
    /// portal could not be asked.
    std::optional<QStringList> portalInterfaces;
    /// What the screen-cast portal says it can share; nothing when it was not asked or did not
    /// tell.
    std::optional<ScreenCastOffer> screenCast;
};

enum class PanelMode { layerSurface, ordinaryWindow };
/// Where the focused window is learnt: the wlr toplevel list, or a script inside KWin.
enum class FocusSource { toplevelList, kwinScript, none };
enum class CaptureRoute { screenCastPortal, none };
enum class ShortcutRoute { globalShortcutsPortal, boundCommand };

/// One decision per service, and the one line that tells the user what works here and what to
/// do about the rest.
struct DesktopCapabilities {
    PanelMode panel = PanelMode::ordinaryWindow;
    FocusSource focus = FocusSource::none;
    CaptureRoute capture = CaptureRoute::none;
    ShortcutRoute shortcut = ShortcutRoute::boundCommand;
    QString summary;
    /// Why nothing can be captured here, for the notice a capture request posts; empty when
    /// `capture` has a route.
    QString captureProblem;
    bool operator==(const DesktopCapabilities&) const = default;
};

/// The desktop's name from $XDG_CURRENT_DESKTOP (its first entry), else from globals only
/// one family of compositors offers; empty when neither tells.
QString desktopName(const QString& currentDesktop, const QList<WaylandGlobal>& globals);

/// Decides each service from the facts alone.
DesktopCapabilities decideCapabilities(const DesktopFacts& facts);

}  // namespace mirano::wayland
