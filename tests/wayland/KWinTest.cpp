// The KDE pieces of the Wayland backend on a real headless KWin: the GlobalShortcuts portal,
// the focused window through a KWin script, and panels above normal windows; KWin scripts are
// the oracle.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusReply>
#include <QDir>
#include <QJsonArray>
#include <QJsonObject>
#include <QSignalSpy>
#include <QWidget>

#include "platform/wayland/DesktopProbe.h"
#include "platform/wayland/kwin/KWinScript.h"
#include "platform/wayland/kwin/KWinWindows.h"
#include "platform/wayland/panel/WaylandPanelWindowSystem.h"
#include "platform/wayland/portal/PortalShortcuts.h"
#include "settings/ModifierKey.h"
#include "tests/wayland/WaylandTestSupport.h"
#include "tests/wayland/support/KWinSession.h"

using namespace mirano;
using namespace mirano::testing;
using namespace mirano::wayland;

namespace {

/// JavaScript: the first KWin window `w` for which `condition` holds (Plasma 6 and 5.27 names).
QString windowWhere(const QString& condition) {
    return "(workspace.windowList ? workspace.windowList() : workspace.clientList()).find(w => " +
           condition + ")";
}
/// JavaScript: the KWin window whose resource class is `appId`.
QString windowOf(const QString& appId) {
    return windowWhere("w.resourceClass == " + KWinScript::quoted(appId));
}
/// JavaScript: makes `w` the active window.
const QString kActivate =
    "if (workspace.activeWindow !== undefined) workspace.activeWindow = w; "
    "else workspace.activeClient = w";

/// Runs `statement` on the window of `appId` inside KWin; true when the window was there.
bool onWindow(const QString& appId, const QString& statement) {
    return kwinEvaluate("(function() { const w = " + windowOf(appId) + "; if (!w) return false; " +
                        statement + "; return true; })()")
        .toBool();
}

/// The JavaScript `value` of the active window `w` (Plasma 6 and 5.27 names); null without one.
QJsonValue ofActiveWindow(const QString& value) {
    return kwinEvaluate("(w => w ? " + value +
                        " : null)(workspace.activeWindow !== undefined ? workspace.activeWindow : "
                        "workspace.activeClient)");
}
QString activeAppId() { return ofActiveWindow("String(w.resourceClass)").toString(); }

}  // namespace

TEST(KWinTest, WindowsAreFollowedActivatedRestoredAndForgottenAndPanelsFloatAboveThem) {
    ASSERT_TRUE(KWinScript::isAvailable(QDBusConnection::sessionBus()));
    KWinWindows windows(QDBusConnection::sessionBus());
    QSignalSpy ready(&windows, &KWinWindows::ready);
    QSignalSpy activated(&windows, &Windows::applicationActivated);
    QSignalSpy fullScreen(&windows, &Windows::fullScreenOrDesktopChanged);
    ASSERT_TRUE(ready.wait(10000));
    EXPECT_TRUE(ready.at(0).at(0).toBool());

    ChildProcess* a = startTestWindow(*gWayland, kA, "darkred", activeAppId);
    ASSERT_TRUE(waitUntil([&] { return focusedAppId(windows) == kA; }));
    const SourceWindow windowA = *windows.focusedWindow();
    const WindowNumber numberA = windowA.windowID;
    EXPECT_EQ(windowA.application.pid, a->processId());
    ChildProcess* b = startTestWindow(*gWayland, kB, "darkblue", activeAppId);
    ASSERT_TRUE(waitUntil([&] { return focusedAppId(windows) == kB; }));
    const WindowNumber numberB = windows.focusedWindow()->windowID;
    EXPECT_NE(numberA, numberB);
    // Both can be named to the capture service, with the ids their consents are kept under.
    const QList<SourceWindow> listed = windows.listedWindows();
    EXPECT_TRUE(listed.contains(windowA) && listed.contains(*windows.focusedWindow()));
    ASSERT_FALSE(activated.isEmpty());
    EXPECT_EQ(activated.last().at(0).value<AppIdentity>().applicationID, kB);

    // Focus moved by KWin: reported, with the same number as before.
    ASSERT_TRUE(onWindow(kA, kActivate));
    ASSERT_TRUE(waitUntil([&] { return focusedAppId(windows) == kA; }));
    EXPECT_EQ(windows.focusedWindow()->windowID, numberA);
    EXPECT_EQ(activated.last().at(0).value<AppIdentity>().applicationID, kA);

    // Where KWin has the window.
    const QRectF frameA = windows.frame(numberA).value_or(QRectF());
    EXPECT_EQ(
        kwinEvaluate("(g => [g.x, g.y, g.width, g.height])(" + windowOf(kA) + ".frameGeometry)")
            .toArray(),
        (QJsonArray{frameA.x(), frameA.y(), frameA.width(), frameA.height()}));

    // Full screen in and out, each a change.
    const qsizetype changesBefore = fullScreen.count();
    ASSERT_TRUE(onWindow(kA, "w.fullScreen = true"));
    EXPECT_TRUE(waitUntil([&] { return windows.isFullScreen(numberA); }));
    EXPECT_FALSE(windows.isFullScreen(numberB));
    ASSERT_TRUE(onWindow(kA, "w.fullScreen = false"));
    EXPECT_TRUE(waitUntil([&] { return !windows.isFullScreen(numberA); }));
    EXPECT_EQ(fullScreen.count(), changesBefore + 2);

    // Minimised by KWin, restored by us.
    ASSERT_TRUE(onWindow(kB, "w.minimized = true"));
    EXPECT_TRUE(waitUntil([&] { return windows.isMinimized(numberB); }));
    windows.unminimize(numberB);
    EXPECT_TRUE(waitUntil([&] { return !kwinEvaluate(windowOf(kB) + ".minimized").toBool(true); }));
    EXPECT_TRUE(waitUntil([&] { return !windows.isMinimized(numberB); }));

    // Bringing a window to the front, as a double-click on the PiP does.
    windows.activate(numberB);
    EXPECT_TRUE(waitUntil([&] { return activeAppId() == kB; }));
    EXPECT_TRUE(waitUntil([&] { return focusedAppId(windows) == kB; }));

    // A closed window is forgotten.
    b->stop();
    EXPECT_TRUE(waitUntil([&] { return !windows.frame(numberB); }));
    EXPECT_EQ(windows.listedWindows().size(), listed.size() - 1);
    EXPECT_TRUE(windows.frame(numberA));

    // Our panels float above normal windows, and a key-taking one is looked through.
    WaylandPanelWindowSystem ws(true);
    ASSERT_TRUE(ws.hasLayerShell());
    ASSERT_TRUE(onWindow(kA, kActivate));
    ASSERT_TRUE(waitUntil([&] { return focusedAppId(windows) == kA; }));

    // Where KWin stacks our panel over the normal window: in a higher layer, and higher in the
    // stacking order.
    const QString ours = windowWhere("w.pid == " + QString::number(qApp->applicationPid()));
    const QString panelState = "(function() { const p = " + ours + "; const a = " + windowOf(kA) +
                               "; if (!p || !a) return null; return {offTaskbar: p.skipTaskbar && "
                               "p.skipPager, above: p.layer > a.layer, onTop: p.stackingOrder > "
                               "a.stackingOrder}; })()";

    QWidget floating(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus);
    floating.setGeometry(944, 524, 320, 180);
    floating.winId();
    ws.configureFloatingPanel(*floating.windowHandle());
    floating.show();
    QJsonObject state;
    ASSERT_TRUE(waitUntil([&] { return !(state = kwinEvaluate(panelState).toObject()).isEmpty(); }))
        << "KWin never showed the panel";
    EXPECT_EQ(state, (QJsonObject{{"offTaskbar", true}, {"above", true}, {"onTop", true}}));
    // It took no focus, and raising the window below does not cover it.
    EXPECT_EQ(activeAppId(), kA);
    ASSERT_TRUE(onWindow(kA, kActivate));
    EXPECT_TRUE(kwinEvaluate(panelState)["onTop"].toBool());
    floating.hide();

    // A panel that takes the keys: KWin makes it active, the user's window is still the one
    // focused.
    QWidget overlay(nullptr, Qt::Tool | Qt::FramelessWindowHint);
    overlay.setGeometry(100, 100, 300, 200);
    overlay.winId();
    ws.configureOverlayPanel(*overlay.windowHandle());
    overlay.show();
    EXPECT_TRUE(waitUntil([&] {
        return ofActiveWindow("w.pid").toInt() == QCoreApplication::applicationPid();
    })) << "KWin never gave the overlay the keys";
    EXPECT_EQ(focusedAppId(windows), kA);
}

TEST(KWinScriptTest, ScriptRunsUntilItsOwnerGoes) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    const auto isLoaded = [&](const QString& name) {
        const QDBusReply<bool> reply =
            bus.call(QDBusMessage::createMethodCall("org.kde.KWin", "/Scripting",
                                                    "org.kde.kwin.Scripting", "isScriptLoaded")
                     << name);
        return reply.isValid() && reply.value();
    };
    std::optional<QString> kwin;
    const QString name = KWinScript::newName();
    auto script = std::make_unique<KWinScript>(bus, name, "const unused = 1;",
                                               [&](std::optional<QString> k, auto) { kwin = k; });
    ASSERT_TRUE(waitUntil([&] { return kwin.has_value(); }));
    EXPECT_TRUE(isLoaded(name));
    script.reset();
    EXPECT_FALSE(isLoaded(name));
}

TEST(PortalShortcutsTest, PortalBindsThePreferredKeysAndDeliversEachShortcut) {
    // What the backend decides its shortcuts by, on this real KDE desktop (with time to spare for
    // the portal's answer on a loaded machine).
    ASSERT_EQ(decideCapabilities(probeDesktop(10000)).shortcut,
              ShortcutRoute::globalShortcutsPortal);
    QDBusConnection bus = QDBusConnection::sessionBus();
    PortalShortcuts shortcuts(bus);
    std::optional<std::optional<Error>> bound;
    // As the program binds them: with the hotkey of the settings, fn + P.
    ::testing::internal::CaptureStdout();
    shortcuts.bind(ModifierKeys::physicalKey(ModifierKey::fn), "P",
                   [&](std::optional<Error> error) { bound = error; });
    const bool answered = waitUntil([&] { return bound.has_value(); }, 10000);
    const std::string said = ::testing::internal::GetCapturedStdout();
    ASSERT_TRUE(answered);
    ASSERT_FALSE(*bound) << qPrintable((*bound)->description);
    // The start line promised nothing: the outcome is said once bound.
    EXPECT_EQ(said,
              "Global shortcuts: bound by the portal; the desktop's settings change their "
              "keys.\n");

    // KDE keeps the shortcuts under the session's token (with no application id here).
    const QString component = PortalShortcuts::kSessionToken;
    QSignalSpy window(&shortcuts, &PortalShortcuts::mirrorWindowActivated);
    QSignalSpy region(&shortcuts, &PortalShortcuts::mirrorRegionActivated);
    QSignalSpy hide(&shortcuts, &PortalShortcuts::hideOrShowActivated);
    // Each shortcut, its keys, and who hears it pressed.
    const std::tuple<QString, QList<int>, QSignalSpy*> rows[] = {
        {PortalShortcuts::kMirrorWindow, {(Qt::META | Qt::Key_P).toCombined()}, &window},
        {PortalShortcuts::kMirrorRegion,
         {(Qt::META | Qt::SHIFT | Qt::Key_P).toCombined()},
         &region},
        {PortalShortcuts::kHideOrShow, {}, &hide},
    };
    for (const auto& [id, keys, spy] : rows) {
        const QDBusReply<QList<int>> bound =
            bus.call(QDBusMessage::createMethodCall("org.kde.kglobalaccel", "/kglobalaccel",
                                                    "org.kde.KGlobalAccel", "shortcut")
                     << QStringList{component, id, QString(), QString()});
        EXPECT_EQ(bound.isValid() ? bound.value() : QList<int>{-1}, keys) << qPrintable(id);
        // Pressing the keys, as KWin would on a real keyboard.
        const QDBusMessage pressed = bus.call(
            QDBusMessage::createMethodCall("org.kde.kglobalaccel", "/component/" + component,
                                           "org.kde.kglobalaccel.Component", "invokeShortcut")
            << id);
        EXPECT_NE(pressed.type(), QDBusMessage::ErrorMessage) << qPrintable(pressed.errorMessage());
        EXPECT_TRUE(waitUntil([&] { return spy->count() == 1; })) << qPrintable(id);
    }
    EXPECT_EQ(window.count() + region.count() + hide.count(), 3);

    // A changed hotkey is offered in a new session, said in one line; the shortcuts act on.
    bound.reset();
    ::testing::internal::CaptureStdout();
    shortcuts.bind(PortalShortcuts::Triggers{"CTRL+m", "CTRL+SHIFT+m", ""},
                   [&](std::optional<Error> error) { bound = error; });
    const bool rebound = waitUntil([&] { return bound.has_value(); }, 10000);
    const QString lines = QString::fromStdString(::testing::internal::GetCapturedStdout());
    ASSERT_TRUE(rebound && !*bound) << qPrintable(lines);
    EXPECT_TRUE(lines.startsWith("Global shortcuts: the hotkey changed; offering CTRL+m") &&
                lines.count('\n') == 2)
        << qPrintable(lines);
    bus.call(QDBusMessage::createMethodCall("org.kde.kglobalaccel", "/component/" + component,
                                            "org.kde.kglobalaccel.Component", "invokeShortcut")
             << PortalShortcuts::kMirrorWindow);
    EXPECT_TRUE(waitUntil([&] { return window.count() == 2; })) << "not heard after the change";
}

TEST(PortalShortcutsTest, WithoutAPortalBindingFailsWithOneLine) {
    // A bus of our own with no one on it.
    ChildProcess daemon("dbus-daemon", {"--session", "--nofork", "--print-address=1",
                                        "--address=unix:tmpdir=" + QDir::tempPath()});
    const QString address = daemon.readLine();
    ASSERT_NE(address, "") << "dbus-daemon did not start";
    const QDBusConnection bus = QDBusConnection::connectToBus(address, "bare");
    {
        PortalShortcuts shortcuts(bus);
        std::optional<std::optional<Error>> bound;
        ::testing::internal::CaptureStdout();
        shortcuts.bind(PortalShortcuts::Triggers{"LOGO+p", "SHIFT+LOGO+p", ""},
                       [&](std::optional<Error> error) { bound = error; });
        EXPECT_TRUE(waitUntil([&] { return bound.has_value(); }, 10000));
        const QString out = QString::fromStdString(::testing::internal::GetCapturedStdout());
        ASSERT_TRUE(bound && *bound);
        EXPECT_TRUE(out.count('\n') == 1 && out.contains("mirano --toggle")) << qPrintable(out);
    }
    QDBusConnection::disconnectFromBus("bare");
}
