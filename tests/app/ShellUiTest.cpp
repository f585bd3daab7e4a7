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
#include "tests/fakes/ManualScheduler.h"
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
    EXPECT_EQ(menu.visibleItemTexts(), (QStringList{"PiP Active", "Close PiP"} + idle.mid(1)));
    // The state lines are plain text, the rest can be chosen.
    for (QAction* a : menu.menu()->actions()) {
        const bool plainText = a->text() == "PiP Active" || a->text() == "No active PiP" ||
                               a->text().startsWith("Version");
        EXPECT_TRUE(a->isSeparator() || a->isEnabled() != plainText) << a->text().toStdString();
    }
    menu.closePiPAction()->trigger();
    EXPECT_EQ(pip.calls, QStringList{"stopPiP"});
    EXPECT_EQ(menu.visibleItemTexts(), idle);

    // (Choosing "Check for Updates…" opens the update dialog end to end, in MiranoEndToEndTest.)
    int settings = 0, quits = 0;
    menu.onOpenSettings = [&] { ++settings; };
    menu.onQuit = [&] { ++quits; };
    // Ctrl+, and Ctrl+Q choose their items, also while the menu itself is open, and close it.
    for (const auto& [key, expected] :
         {std::pair(Qt::Key_Comma, std::tuple(1, 0)), std::pair(Qt::Key_Q, std::tuple(1, 1))}) {
        menu.menu()->popup(QPoint(100, 100));
        ASSERT_TRUE(QTest::qWaitForWindowExposed(menu.menu()));
        QTest::keyClick(menu.menu(), key, Qt::ControlModifier);
        EXPECT_EQ(std::tuple(settings, quits), expected)
            << QKeySequence(key).toString().toStdString();
        EXPECT_FALSE(menu.menu()->isVisible());
    }
}

TEST(TrayIconTest, InstallsAtOnceWithATrayOtherwiseOpensSettingsOnceAndWaitsForOne) {
    fakes::FakePiPControl pip;
    StatusMenu menu(pip, "1");
    for (bool trayAtStart : {true, false}) {
        SCOPED_TRACE(trayAtStart ? "a tray exists" : "no tray yet");
        fakes::ManualScheduler scheduler;
        bool available = trayAtStart;
        int lookups = 0, noTray = 0;
        TrayIcon tray(*menu.menu(), scheduler, [&] { return ++lookups, available; });
        tray.onNoTray = [&] { ++noTray; };
        tray.start();
        // Installed, said there is no tray, polling.
        const int missing = trayAtStart ? 0 : 1;
        EXPECT_EQ(std::tuple(tray.isInstalled(), noTray, scheduler.pendingTimers()),
                  std::tuple(trayAtStart, missing, missing));
        if (trayAtStart) continue;
        scheduler.advance(TrayIcon::kPollSeconds * 5);
        EXPECT_FALSE(tray.isInstalled());
        EXPECT_GE(lookups, 6);

        available = true;
        scheduler.advance(TrayIcon::kPollSeconds);
        EXPECT_TRUE(tray.isInstalled());
        const int lookupsAfter = lookups;
        scheduler.advance(TrayIcon::kPollSeconds * 5);
        EXPECT_EQ(std::pair(lookups, noTray), std::pair(lookupsAfter, 1));  // no more polling
    }
}

namespace {

/// A notification server on a private bus that records what it is sent.
class RecordingServer : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    struct Note {
        QString app, summary, body;
        int timeout;
        bool operator==(const Note&) const = default;
    };
    QList<Note> notes;

public slots:
    uint Notify(const QString& app, uint, const QString&, const QString& summary,
                const QString& body, const QStringList&, const QVariantMap&, int timeout) {
        notes.append({app, summary, body, timeout});
        return static_cast<uint>(notes.size());
    }
};

/// A private dbus-daemon, stopped at the end.
struct PrivateBus {
    mirano::testing::ChildProcess daemon{"dbus-daemon",
                                         {"--session", "--nofork", "--print-address=1"}};
    QString address = daemon.readLine();
};

}  // namespace

TEST(DBusNotificationsTest, PostsToTheServerAndDropsQuietlyWithoutOne) {
    PrivateBus bus;
    ASSERT_FALSE(bus.address.isEmpty()) << "dbus-daemon did not start";
    QDBusConnection serverSide = QDBusConnection::connectToBus(bus.address, "mirano-test-server");
    QDBusConnection clientSide = QDBusConnection::connectToBus(bus.address, "mirano-test-client");
    ASSERT_TRUE(serverSide.isConnected() && clientSide.isConnected());

    // No server yet: the post goes nowhere and nothing breaks.
    DBusNotifications notifications(clientSide);
    notifications.requestAuthorization();
    notifications.post("Nobody", "listens");

    RecordingServer server;
    ASSERT_TRUE(serverSide.registerObject("/org/freedesktop/Notifications", &server,
                                          QDBusConnection::ExportAllSlots));
    ASSERT_TRUE(serverSide.registerService("org.freedesktop.Notifications"));

    notifications.post("Accessibility Granted", "Mirano now has Accessibility permissions.");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !server.notes.isEmpty(); }, 10000));
    EXPECT_EQ(server.notes,
              (QList<RecordingServer::Note>{{"Mirano", "Accessibility Granted",
                                             "Mirano now has Accessibility permissions.", -1}}));

    // The body is plain text: markup in it (a feed's version) reaches the server escaped.
    notifications.post("Update Available", R"(Mirano <a href="x">9</a> & "more")");
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.notes.size() == 2; }, 10000));
    EXPECT_EQ(server.notes[1].body,
              "Mirano &lt;a href=&quot;x&quot;&gt;9&lt;/a&gt; &amp; &quot;more&quot;");

    // A disconnected bus drops the post.
    DBusNotifications offline(QDBusConnection(QStringLiteral("no-such-connection")));
    offline.post("x", "y");

    QDBusConnection::disconnectFromBus("mirano-test-server");
    QDBusConnection::disconnectFromBus("mirano-test-client");
}

#include "ShellUiTest.moc"
