// What Mirano decides and says for each kind of Wayland desktop, from the facts alone, and
// what it says where the desktop lists no windows.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/wayland/DesktopCapabilities.h"
#include "platform/wayland/toplevels/UnlistedWindows.h"

using namespace mirano::wayland;

// sway offers KDE's server-side decoration protocol too.
const QList<WaylandGlobal> kWlroots = {{"wl_compositor", 5},
                                       {"zwlr_layer_shell_v1", 4},
                                       {"zwlr_foreign_toplevel_manager_v1", 3},
                                       {"org_kde_kwin_server_decoration_manager", 1}};
const QList<WaylandGlobal> kMutter = {{"wl_compositor", 5}, {"gtk_shell1", 5}};
const QList<WaylandGlobal> kKWin = {
    {"wl_compositor", 5}, {"zwlr_layer_shell_v1", 4}, {"org_kde_plasma_shell", 8}};
const QString kPortal = "org.freedesktop.portal.Desktop";
const QString kScreenCast = "org.freedesktop.portal.ScreenCast";
const QString kShortcuts = "org.freedesktop.portal.GlobalShortcuts";
const QString kBind = "no shortcut portal: bind a key to `mirano --toggle`";
const QString kNoList =
    "no window list: the desktop's dialog picks the window to mirror, and the PiP does not "
    "follow the focused window nor step aside for full screen";
const QString kNoCast =
    "no screen-cast portal: install xdg-desktop-portal and this desktop's portal backend";
const QString kNoCastNotice =
    "The desktop offers no screen-cast portal: install xdg-desktop-portal and this desktop's "
    "portal backend.";
const QString kMonitorsOnly =
    "the screen-cast portal (version 4) shares monitors only, not windows: nothing can be "
    "mirrored";

TEST(DesktopCapabilitiesTest, DecisionsAndTheLineFollowWhatTheDesktopOffers) {
    const std::tuple<const char*, DesktopFacts, DesktopCapabilities> rows[] = {
        {"sway with the wlr portal: the portal captures, a key is bound by hand",
         {"sway",
          kWlroots,
          {kPortal},
          QStringList{kScreenCast, "org.freedesktop.portal.Screenshot"}},
         {PanelMode::layerSurface, FocusSource::toplevelList, CaptureRoute::screenCastPortal,
          ShortcutRoute::boundCommand,
          "Wayland (sway): capture through the screen-cast portal; " + kBind}},
        {"sway without any portal says what to install",
         {"sway", kWlroots, {"org.freedesktop.DBus"}, std::nullopt},
         {PanelMode::layerSurface, FocusSource::toplevelList, CaptureRoute::none,
          ShortcutRoute::boundCommand, "Wayland (sway): " + kNoCast + "; " + kBind, kNoCastNotice}},
        {"a portal sharing monitors only is not asked: the PiP would show itself",
         {"sway", kWlroots, {kPortal}, QStringList{kScreenCast}, ScreenCastOffer{1, 4}},
         {PanelMode::layerSurface, FocusSource::toplevelList, CaptureRoute::none,
          ShortcutRoute::boundCommand, "Wayland (sway): " + kMonitorsOnly + "; " + kBind,
          "The desktop's screen-cast portal (version 4) shares monitors only, not windows. "
          "Windows are shared by KDE's and GNOME's portals, and by xdg-desktop-portal-wlr 0.8 "
          "or later on a compositor that can capture windows."}},
        {"a portal sharing windows and monitors captures",
         {"sway", kWlroots, {kPortal}, QStringList{kScreenCast}, ScreenCastOffer{3, 5}},
         {PanelMode::layerSurface, FocusSource::toplevelList, CaptureRoute::screenCastPortal,
          ShortcutRoute::boundCommand,
          "Wayland (sway): capture through the screen-cast portal; " + kBind}},
        {"GNOME: no layer shell, the focus taken, no window list, each said with its consequence",
         {"GNOME", kMutter, {kPortal}, QStringList{kScreenCast}},
         {PanelMode::ordinaryWindow, FocusSource::none, CaptureRoute::screenCastPortal,
          ShortcutRoute::boundCommand,
          "Wayland (GNOME): capture through the screen-cast portal; no layer shell: the PiP is "
          "an ordinary window and cannot be kept above others; the PiP takes the keyboard "
          "focus when it opens: click your window to type on; " +
              kNoList + "; " + kBind}},
        {"KDE: layer shell, the shortcut portal, and the windows through a KWin script",
         {"KDE", kKWin, {kPortal, "org.kde.KWin"}, QStringList{kScreenCast, kShortcuts}},
         {PanelMode::layerSurface, FocusSource::kwinScript, CaptureRoute::screenCastPortal,
          ShortcutRoute::globalShortcutsPortal,
          "Wayland (KDE): capture through the screen-cast portal; shortcuts asked of the "
          "global-shortcuts portal"}},
        {"KWin's protocols without KWin on the bus: no window list",
         {"KDE", kKWin, {kPortal}, QStringList{kScreenCast, kShortcuts}},
         {PanelMode::layerSurface, FocusSource::none, CaptureRoute::screenCastPortal,
          ShortcutRoute::globalShortcutsPortal,
          "Wayland (KDE): capture through the screen-cast portal; " + kNoList +
              "; shortcuts asked of the global-shortcuts portal"}},
        {"a portal that did not answer is asked again, for casting and for shortcuts",
         {"", kWlroots, {kPortal}, std::nullopt},
         {PanelMode::layerSurface, FocusSource::toplevelList, CaptureRoute::screenCastPortal,
          ShortcutRoute::globalShortcutsPortal,
          "Wayland: capture through the screen-cast portal; the portal did not answer in "
          "time; its shortcuts are asked for again"}},
        {"a portal without the screen-cast interface does not capture",
         {"sway", kWlroots, {kPortal}, QStringList{kShortcuts}},
         {PanelMode::layerSurface, FocusSource::toplevelList, CaptureRoute::none,
          ShortcutRoute::globalShortcutsPortal,
          "Wayland (sway): " + kNoCast + "; shortcuts asked of the global-shortcuts portal",
          kNoCastNotice}},
    };
    for (const auto& [what, facts, decided] : rows)
        EXPECT_EQ(decideCapabilities(facts), decided) << what;
}

TEST(DesktopCapabilitiesTest, DesktopNameFromTheEnvironmentElseFromTheGlobals) {
    // XDG_CURRENT_DESKTOP, the globals; the name.
    const std::tuple<const char*, QList<WaylandGlobal>, const char*> rows[] = {
        {"ubuntu:GNOME", kMutter, "ubuntu"},
        {"", kKWin, "KDE"},
        {"", kMutter, "GNOME"},
        {"", {{"hyprland_ctm_control_manager_v1", 1}}, "Hyprland"},
        {"", kWlroots, ""},
    };
    for (const auto& [currentDesktop, globals, name] : rows)
        EXPECT_EQ(desktopName(currentDesktop, globals), name) << currentDesktop << " / " << name;
}

TEST(DesktopCapabilitiesTest, WithoutAWindowListTheDialogPicksAndEachLossIsSaidOnce) {
    // The stand-in for "the window the dialog picks" is what the capture service can name, so
    // a toggle reaches the portal; it has no application id, so no consent is kept for it.
    UnlistedWindows windows;
    testing::internal::CaptureStdout();
    for (int i = 0; i < 2; ++i) {
        const std::optional<mirano::SourceWindow> focused = windows.focusedWindow();
        ASSERT_TRUE(focused);
        windows.activate(focused->windowID);
        EXPECT_EQ(std::tuple(focused->windowID != 0, focused->application.applicationID,
                             windows.listedWindows(), windows.frame(focused->windowID).has_value(),
                             windows.isFullScreen(focused->windowID)),
                  std::tuple(true, std::nullopt, QList{*focused}, true, false));
    }
    EXPECT_THAT(testing::internal::GetCapturedStdout(),
                testing::MatchesRegex("[^\n]*dialog picks[^\n]*\n[^\n]*full screen[^\n]*\n"));
}
