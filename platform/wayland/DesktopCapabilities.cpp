// The decisions and the summary line for a Wayland desktop: a pure function of its facts.
#include "platform/wayland/DesktopCapabilities.h"

#include <algorithm>

namespace mirano::wayland {

namespace {

bool hasGlobal(const QList<WaylandGlobal>& globals, const QString& interface) {
    return std::any_of(globals.begin(), globals.end(),
                       [&](const WaylandGlobal& g) { return g.interface == interface; });
}

bool hasGlobalPrefix(const QList<WaylandGlobal>& globals, const QString& prefix) {
    return std::any_of(globals.begin(), globals.end(),
                       [&](const WaylandGlobal& g) { return g.interface.startsWith(prefix); });
}

/// The portal exports `interface`; when it could not be asked, `unknown`.
bool portalHas(const DesktopFacts& facts, const QString& interface, bool unknown) {
    if (!facts.busNames.contains(kPortalName)) return false;
    return facts.portalInterfaces ? facts.portalInterfaces->contains(interface) : unknown;
}
void decideCapture(const DesktopFacts& facts, DesktopCapabilities& c, QStringList& parts) {
    // The screen-cast portal is assumed when the portal runs but could not be asked.
    if (!portalHas(facts, QStringLiteral("org.freedesktop.portal.ScreenCast"), true)) {
        parts << QStringLiteral(
            "no screen-cast portal: install xdg-desktop-portal and this "
            "desktop's portal backend");
        c.captureProblem = QStringLiteral(
            "The desktop offers no screen-cast portal: install xdg-desktop-portal and this "
            "desktop's portal backend.");
        return;
    }
    // A portal that shares monitors only would hand over the whole output, the PiP in it.
    if (facts.screenCast && !(facts.screenCast->sourceTypes & ScreenCastOffer::windowSource)) {
        parts << QStringLiteral(
                     "the screen-cast portal (version %1) shares monitors only, not windows: "
                     "nothing can be mirrored")
                     .arg(facts.screenCast->version);
        c.captureProblem = QStringLiteral(
                               "The desktop's screen-cast portal (version %1) shares monitors "
                               "only, not windows. Windows are shared by KDE's and GNOME's "
                               "portals, and by xdg-desktop-portal-wlr 0.8 or later on a "
                               "compositor that can capture windows.")
                               .arg(facts.screenCast->version);
        return;
    }
    c.capture = CaptureRoute::screenCastPortal;
    parts << QStringLiteral("capture through the screen-cast portal");
}
}  // namespace

QString desktopName(const QString& currentDesktop, const QList<WaylandGlobal>& globals) {
    const QString first = currentDesktop.section(QLatin1Char(':'), 0, 0).trimmed();
    if (!first.isEmpty()) return first;
    // Only KWin has Plasma's own globals; wlroots compositors offer other org_kde_ ones.
    if (hasGlobalPrefix(globals, QStringLiteral("org_kde_plasma_"))) return QStringLiteral("KDE");
    if (hasGlobal(globals, QStringLiteral("gtk_shell1"))) return QStringLiteral("GNOME");
    if (hasGlobalPrefix(globals, QStringLiteral("hyprland_"))) return QStringLiteral("Hyprland");
    return {};
}

DesktopCapabilities decideCapabilities(const DesktopFacts& facts) {
    DesktopCapabilities c;
    QStringList parts;
    decideCapture(facts, c, parts);
    if (hasGlobal(facts.globals, QStringLiteral("zwlr_layer_shell_v1"))) {
        c.panel = PanelMode::layerSurface;
    } else {
        parts << QStringLiteral(
            "no layer shell: the PiP is an ordinary window and cannot be "
            "kept above others");
        // Mutter focuses each window it maps, and a client can neither decline that nor hand
        // the focus back to another's window.
        if (hasGlobal(facts.globals, QStringLiteral("gtk_shell1")))
            parts << QStringLiteral(
                "the PiP takes the keyboard focus when it opens: click your window to type on");
    }
    if (hasGlobal(facts.globals, QStringLiteral("zwlr_foreign_toplevel_manager_v1"))) {
        c.focus = FocusSource::toplevelList;
    } else if (facts.busNames.contains(QStringLiteral("org.kde.KWin"))) {
        c.focus = FocusSource::kwinScript;
    } else {
        parts << QStringLiteral(
            "no window list: the desktop's dialog picks the window to mirror, and the PiP "
            "does not follow the focused window nor step aside for full screen");
    }
    // A portal slow at start is asked again when the shortcuts are bound: a late answer
    // binds them, a portal without the interface says so then. Offering the interface is no
    // promise (a backend of another desktop may refuse every session), so the binding's own
    // line tells the outcome.
    if (portalHas(facts, QStringLiteral("org.freedesktop.portal.GlobalShortcuts"), true)) {
        c.shortcut = ShortcutRoute::globalShortcutsPortal;
        parts << (facts.portalInterfaces
                      ? QStringLiteral("shortcuts asked of the global-shortcuts portal")
                      : QStringLiteral("the portal did not answer in time; its shortcuts are "
                                       "asked for again"));
    } else {
        parts << QStringLiteral("no shortcut portal: bind a key to `mirano --toggle`");
    }
    const QString desktop =
        facts.compositor.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(facts.compositor);
    c.summary = QStringLiteral("Wayland%1: %2").arg(desktop, parts.join(QStringLiteral("; ")));
    return c;
}

}  // namespace mirano::wayland
