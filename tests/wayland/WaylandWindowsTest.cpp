// The toplevel list on a real compositor (headless sway): window numbers, full screen, closed
// windows, and the capabilities line sway gets.
#include <gtest/gtest.h>

#include <QLocalServer>
#include <QLocalSocket>
#include <QSignalSpy>
#include <QTemporaryDir>

#include "platform/wayland/DesktopProbe.h"
#include "platform/wayland/toplevels/SwayProcesses.h"
#include "platform/wayland/toplevels/ToplevelList.h"
#include "platform/wayland/toplevels/WlrWindows.h"
#include "tests/wayland/WaylandTestSupport.h"

using namespace mirano;
using namespace mirano::testing;
using namespace mirano::wayland;

TEST(WaylandWindowsTest, TellsWindowsApartFollowsFullScreenAndForgetsClosedWindows) {
    auto list = std::make_unique<ToplevelList>();
    ASSERT_TRUE(list->isAvailable());
    WlrWindows windows(std::move(list), {});
    QSignalSpy fullScreen(&windows, &Windows::fullScreenOrDesktopChanged);

    ChildProcess* a = startTestWindow(*gWayland, kA, "darkred");
    ASSERT_TRUE(waitUntil([&] { return focusedAppId(windows) == kA; }));
    const WindowNumber numberA = windows.focusedWindow()->windowID;
    ChildProcess* b = startTestWindow(*gWayland, kB, "darkblue");
    ASSERT_TRUE(waitUntil([&] { return focusedAppId(windows) == kB; }));
    const WindowNumber numberB = windows.focusedWindow()->windowID;
    EXPECT_NE(numberA, numberB);
    // (Focus moved by the compositor, each application's activation and bringing a window to
    // the front are what MiranoWayland's walk mirrors, pauses and double-clicks by.)

    // Full screen in and out, each a change.
    const qsizetype changesBefore = fullScreen.count();
    ASSERT_TRUE(gWayland->command(QStringLiteral("[app_id=\"%1\"] fullscreen enable").arg(kA)));
    EXPECT_TRUE(waitUntil([&] { return windows.isFullScreen(numberA); }));
    EXPECT_FALSE(windows.isFullScreen(numberB));
    ASSERT_TRUE(gWayland->command(QStringLiteral("[app_id=\"%1\"] fullscreen disable").arg(kA)));
    EXPECT_TRUE(waitUntil([&] { return !windows.isFullScreen(numberA); }));
    EXPECT_EQ(fullScreen.count(), changesBefore + 2);

    // sway has no minimised state; a window that exists has a frame, of unknown geometry.
    EXPECT_FALSE(windows.isMinimized(numberA));
    EXPECT_EQ(windows.frame(numberA), QRectF());

    // A closed window is gone, and its number is not given again.
    b->stop();
    EXPECT_TRUE(waitUntil([&] { return !windows.frame(numberB).has_value(); }));
    EXPECT_TRUE(waitUntil([&] { return focusedAppId(windows) == kA; }));
    a->stop();
    EXPECT_TRUE(waitUntil([&] { return !windows.focusedWindow().has_value(); }));
}

TEST(WaylandWindowsTest, SwayWithoutPortalsIsToldToInstallOneAndToBindAKey) {
    qputenv("XDG_CURRENT_DESKTOP", "sway");  // as sway's session sets it
    // The decisions follow the facts as the line does (DesktopCapabilitiesTest): the line says
    // the facts were probed right.
    EXPECT_EQ(decideCapabilities(probeDesktop()).summary,
              "Wayland (sway): no screen-cast portal: install xdg-desktop-portal and this "
              "desktop's portal backend; no shortcut portal: bind a key to `mirano --toggle`");
}

// sway's IPC names the windows' processes: two windows of one process are one application, a
// window of another process another.
TEST(WaylandWindowsTest, SwaysTreeTellsTheWindowsOfOneProcessForOneApplication) {
    WlrWindows windows(std::make_unique<ToplevelList>(), {}, SwayProcesses::connectToSway());
    const auto listed = [&] {
        QList<SourceWindow> found = windows.listedWindows();
        return found.size() == 3 && std::ranges::all_of(found, [](const SourceWindow& w) {
                   return w.application.pid.has_value();
               });
    };
    // The other first: the two windows, mapped one after the other, take the focus in turn.
    ChildProcess* other = startTestWindow(*gWayland, kB, "darkblue");
    ChildProcess* two =
        gWayland->startClient(X11Session::builtProgram("tests/wayland/mirano_wayland_test_window"),
                              {kA, "darkred", "400x300", "2"});
    ASSERT_TRUE(waitUntil(listed, 15000));
    const QList<SourceWindow> found = windows.listedWindows();
    const auto windowOf = [&](const QString& appId, int nth) {
        return *std::ranges::find_if(found, [&](const SourceWindow& w) {
            return w.application.applicationID == appId && nth-- == 0;
        });
    };
    const SourceWindow a1 = windowOf(kA, 0), a2 = windowOf(kA, 1), b = windowOf(kB, 0);
    EXPECT_NE(a1.windowID, a2.windowID);
    EXPECT_TRUE(a1.application.isSameApplication(a2.application));
    EXPECT_FALSE(a1.application.isSameApplication(b.application));
    two->stop();
    other->stop();
}

// What another process answers is untrusted: a wrong answer, or none, is said once and leaves
// the windows without processes (each its own application).
TEST(WaylandWindowsTest, AWrongOrMissingIpcAnswerIsSaidOnceAndNamesNoProcess) {
    const auto header = [](quint32 length) {
        QByteArray bytes("i3-ipc");
        const quint32 fields[2] = {length, 4};
        return bytes + QByteArray(reinterpret_cast<const char*>(fields), sizeof fields);
    };
    const QByteArray tree = R"({"nodes": [{"pid": 7, "app_id": "a", "name": "t"}]})";
    // The answer; what the line says.
    const std::pair<QByteArray, const char*> rows[] = {
        {"x3-ipc" + header(0).mid(6), "not of its protocol"},
        {header(SwayProcesses::kMaxReply + 1), "too large"},
        {header(5) + "nope!", "not JSON"},
        {{}, "did not answer within 2 s"},
        {header(quint32(tree.size())) + tree, nullptr},
    };
    for (const auto& [answer, line] : rows) {
        SCOPED_TRACE(line ? line : "a sound tree");
        QTemporaryDir dir;
        QLocalServer server;
        ASSERT_TRUE(server.listen(dir.filePath("ipc")));
        QObject::connect(&server, &QLocalServer::newConnection, [&, answer = answer] {
            QLocalSocket* client = server.nextPendingConnection();
            QObject::connect(client, &QLocalSocket::readyRead, [client, answer] {
                client->readAll();
                client->write(answer);
            });
        });
        ::testing::internal::CaptureStdout();
        SwayProcesses processes(dir.filePath("ipc"), nullptr);
        QSignalSpy changed(&processes, &SwayProcesses::changed);
        EXPECT_TRUE(waitUntil([&] { return !changed.isEmpty(); }, 3000));
        const QString said = QString::fromStdString(::testing::internal::GetCapturedStdout());
        EXPECT_EQ(processes.processOf("a", "t"), line ? std::nullopt : std::optional(7));
        EXPECT_EQ(said.count('\n'), line ? 1 : 0) << qPrintable(said);
        EXPECT_TRUE(!line || said.contains(line)) << qPrintable(said);
    }
}
