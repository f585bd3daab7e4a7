// What Mirano decides and says for each kind of Wayland desktop, from the facts alone, and
// what it says where the desktop lists no windows.
#include <gtest/gtest.h>

#include "platform/wayland/DesktopCapabilities.h"
#include "platform/wayland/UnlistedWindows.h"

using namespace mirano::wayland;

namespace {
const QList<WaylandGlobal> kWlroots = {
    {"wl_compositor", 5}, {"zwlr_layer_shell_v1", 4}, {"zwlr_foreign_toplevel_manager_v1", 3}};
const QList<WaylandGlobal> kMutter = {{"wl_compositor", 5}, {"gtk_shell1", 5}};
const QList<WaylandGlobal> kKWin = {
    {"wl_compositor", 5}, {"zwlr_layer_shell_v1", 4}, {"org_kde_plasma_shell", 8}};
const QString kPortal = "org.freedesktop.portal.Desktop";
const QString kScreenCast = "org.freedesktop.portal.ScreenCast";
const QString kShortcuts = "org.freedesktop.portal.GlobalShortcuts";
const QString kBind = "no shortcut portal: bind a key to `mirano --toggle`";
const QString kNoCast =
    "no screen-cast portal: install xdg-desktop-portal and this desktop's portal backend";
}  // namespace

TEST(DesktopCapabilitiesTest, DecisionsAndTheLineFollowWhatTheDesktopOffers) {
    struct Row {
        const char* what;
        DesktopFacts facts;
        DesktopCapabilities expected;
    };
    using enum PanelMode;
    using enum ShortcutRoute;
    constexpr auto toplevelList = FocusSource::toplevelList, noList = FocusSource::none;
    constexpr auto portal = CaptureRoute::screenCastPortal, noCapture = CaptureRoute::none;
    const QString cast = "capture through the screen-cast portal; ";
    const QString unlisted =
        "no window list: the PiP does not follow the focused window nor step aside for full "
        "screen; ";
    const QString portalKeys = "shortcut through the global-shortcuts portal";
    // clang-format off
    const Row rows[] = {
        {"sway with the wlr portal: the portal captures, a key is bound by hand",
         {"sway", kWlroots, {kPortal}, QStringList{kScreenCast, "org.freedesktop.portal.Screenshot"}},
         {layerSurface, toplevelList, portal, boundCommand, "Wayland (sway): " + cast + kBind}},
        {"sway without any portal says what to install",
         {"sway", kWlroots, {"org.freedesktop.DBus"}, std::nullopt},
         {layerSurface, toplevelList, noCapture, boundCommand, "Wayland (sway): " + kNoCast + "; " + kBind}},
        {"GNOME: no layer shell and no window list, each said with its consequence",
         {"GNOME", kMutter, {kPortal}, QStringList{kScreenCast}},
         {ordinaryWindow, noList, portal, boundCommand,
          "Wayland (GNOME): " + cast + "no layer shell: the PiP is an ordinary window and cannot "
          "be kept above others; " + unlisted + kBind}},
        {"KDE: layer shell and the shortcut portal, but no wlr window list",
         {"KDE", kKWin, {kPortal}, QStringList{kScreenCast, kShortcuts}},
         {layerSurface, noList, portal, globalShortcutsPortal,
          "Wayland (KDE): " + cast + unlisted + portalKeys}},
        {"a portal that did not answer is taken to cast but not to take shortcuts",
         {"", kWlroots, {kPortal}, std::nullopt},
         {layerSurface, toplevelList, portal, boundCommand, "Wayland: " + cast + kBind}},
        {"a portal without the screen-cast interface does not capture",
         {"sway", kWlroots, {kPortal}, QStringList{kShortcuts}},
         {layerSurface, toplevelList, noCapture, globalShortcutsPortal,
          "Wayland (sway): " + kNoCast + "; " + portalKeys}},
    };
    // clang-format on
    for (const Row& row : rows) EXPECT_EQ(decideCapabilities(row.facts), row.expected) << row.what;
}

TEST(DesktopCapabilitiesTest, DesktopNameFromTheEnvironmentElseFromTheGlobals) {
    struct Row {
        const char* currentDesktop;
        QList<WaylandGlobal> globals;
        const char* expected;
    };
    // clang-format off
    const Row rows[] = {
        {"sway", kWlroots, "sway"}, {"ubuntu:GNOME", kMutter, "ubuntu"}, {"", kKWin, "KDE"},
        {"", kMutter, "GNOME"}, {"", {{"hyprland_ctm_control_manager_v1", 1}}, "Hyprland"},
        {"", kWlroots, ""},
    };
    // clang-format on
    for (const Row& row : rows)
        EXPECT_EQ(desktopName(row.currentDesktop, row.globals), row.expected)
            << row.currentDesktop << " / " << row.expected;
}

TEST(DesktopCapabilitiesTest, WithoutAWindowListFocusAndFullScreenEachSayOnceTheyAreUnavailable) {
    UnlistedWindows windows;
    testing::internal::CaptureStdout();
    for (int i = 0; i < 2; ++i) {
        EXPECT_FALSE(windows.focusedWindow());
        windows.activate(1);
        EXPECT_FALSE(windows.isFullScreen(1));
    }
    const QStringList lines = QString::fromStdString(testing::internal::GetCapturedStdout())
                                  .split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2) << lines.join('\n').toStdString();
    EXPECT_TRUE(lines[0].contains("focused window")) << lines[0].toStdString();
    EXPECT_TRUE(lines[1].contains("full screen")) << lines[1].toStdString();
}
