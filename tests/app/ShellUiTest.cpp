// The tray menu, the tray icon's fallback when no tray exists, and notifications over D-Bus.
#include <gtest/gtest.h>

#include <QAction>
#include <QDBusConnection>
#include <QMenu>
#include <QTest>

#include "app/StatusMenu.h"
#include "app/TrayIcon.h"
#include "platform/qt/DBusNotifications.h"
#include "tests/app/AppFakes.h"
#include "tests/support/ChildProcess.h"

using namespace mirano;

TEST(StatusMenuTest, FollowsThePiPAndOffersEveryItemInOrder) {
    fakes::FakePiPControl pip;
    EXPECT_TRUE(StatusMenu(pip, "").visibleItemTexts().contains("Version: ?"));
    StatusMenu menu(pip, "1.2.3");
    const QStringList idle =
        QString("No active PiP|-|Version: 1.2.3|Check for Updates…|-|Settings…|Quit Mirano")
            .split('|');
    EXPECT_EQ(menu.visibleItemTexts(), idle);

    pip.setCaptured(0x1234);
    EXPECT_EQ(menu.visibleItemTexts(),
              (QStringList{"PiP Active", "Close PiP", "Choose another window…"} + idle.mid(1)));
    // The state lines are plain text, the rest can be chosen.
    QStringList enabled;
    for (QAction* a : menu.menu()->actions())
        if (a->isEnabled() && !a->isSeparator()) enabled << a->text();
    EXPECT_EQ(enabled, (QStringList{"Close PiP", "Choose another window…", "Check for Updates…",
                                    "Settings…", "Quit Mirano"}));
    menu.chooseAnotherAction()->trigger();
    menu.closePiPAction()->trigger();
    EXPECT_EQ(pip.calls, (QStringList{"chooseAnotherWindow", "stopPiP"}));
    EXPECT_EQ(menu.visibleItemTexts(), idle);

    // (Choosing "Check for Updates…" opens the update dialog end to end, in MiranoEndToEndTest.)
    int settings = 0, quits = 0;
    menu.onOpenSettings = [&] { ++settings; };
    menu.onQuit = [&] { ++quits; };
    // Ctrl+, and Ctrl+Q choose their items, also while the menu itself is open, and close it.
    // Settings opened, quits, the menu still shown.
    for (const auto& [key, expected] : {std::pair(Qt::Key_Comma, std::tuple(1, 0, false)),
                                        std::pair(Qt::Key_Q, std::tuple(1, 1, false))}) {
        menu.menu()->popup(QPoint(100, 100));
        ASSERT_TRUE(QTest::qWaitForWindowExposed(menu.menu()));
        QTest::keyClick(menu.menu(), key, Qt::ControlModifier);
        EXPECT_EQ(std::tuple(settings, quits, menu.menu()->isVisible()), expected)
            << QKeySequence(key).toString().toStdString();
    }
}

TEST(TrayIconTest, InstallsAtOnceWithATrayOtherwiseOpensSettingsOnceAndWaitsForOne) {
    QMenu menu;
    for (bool trayAtStart : {true, false}) {
        SCOPED_TRACE(trayAtStart ? "a tray exists" : "no tray yet");
        fakes::ManualScheduler scheduler;
        bool available = trayAtStart;
        int noTray = 0;
        TrayIcon tray(menu, scheduler, [&] { return available; });
        tray.onNoTray = [&] { ++noTray; };
        tray.start();
        // Installed, said there is no tray, polling.
        const auto state = [&] {
            return std::tuple(tray.isInstalled(), noTray, scheduler.pendingTimers());
        };
        const int missing = trayAtStart ? 0 : 1;
        EXPECT_EQ(state(), std::tuple(trayAtStart, missing, missing));
        scheduler.advance(TrayIcon::kPollSeconds * 5);
        EXPECT_EQ(state(), std::tuple(trayAtStart, missing, missing));
        available = true;
        scheduler.advance(TrayIcon::kPollSeconds);
        EXPECT_EQ(state(), std::tuple(true, missing, 0)) << "installed, and no more polling";
    }
}

namespace {

/// A notification server on a private bus that records what it is sent.
class RecordingServer : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    QStringList notes;  ///< "application|summary|body|timeout" each

public slots:
    uint Notify(const QString& app, uint, const QString&, const QString& summary,
                const QString& body, const QStringList&, const QVariantMap&, int timeout) {
        notes << QStringList{app, summary, body, QString::number(timeout)}.join('|');
        return static_cast<uint>(notes.size());
    }
};

}  // namespace

TEST(DBusNotificationsTest, PostsToTheServerAndDropsQuietlyWithoutOne) {
    mirano::testing::ChildProcess bus("dbus-daemon",
                                      {"--session", "--nofork", "--print-address=1"});
    const QString address = bus.readLine();
    ASSERT_FALSE(address.isEmpty()) << "dbus-daemon did not start";
    QDBusConnection serverSide = QDBusConnection::connectToBus(address, "mirano-test-server");
    QDBusConnection clientSide = QDBusConnection::connectToBus(address, "mirano-test-client");
    ASSERT_TRUE(serverSide.isConnected() && clientSide.isConnected());

    // No server yet: the post goes nowhere and nothing breaks.
    DBusNotifications notifications(clientSide);
    notifications.post("Nobody", "listens");

    RecordingServer server;
    ASSERT_TRUE(serverSide.registerObject("/org/freedesktop/Notifications", &server,
                                          QDBusConnection::ExportAllSlots));
    ASSERT_TRUE(serverSide.registerService("org.freedesktop.Notifications"));

    notifications.post("Accessibility Granted", "Mirano now has Accessibility permissions.");
    // The body is plain text: markup in it (a feed's version) reaches the server escaped.
    notifications.post("Update Available", R"(Mirano <a href="x">9</a> & "more")");
    EXPECT_TRUE(QTest::qWaitFor([&] { return server.notes.size() >= 2; }, 10000));
    EXPECT_EQ(
        server.notes,
        (QStringList{"Mirano|Accessibility Granted|Mirano now has Accessibility permissions.|-1",
                     "Mirano|Update Available|Mirano &lt;a href=&quot;x&quot;&gt;9&lt;/a&gt; "
                     "&amp; &quot;more&quot;|-1"}));

    QDBusConnection::disconnectFromBus("mirano-test-server");
    QDBusConnection::disconnectFromBus("mirano-test-client");
}

#include "ShellUiTest.moc"
