// The update checker: its settings and their mapping, scheduling on a manual clock, and the
// appcast check against feeds served on loopback by the test itself.
#include <gtest/gtest.h>

#include <QMessageBox>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>

#include "app/AppcastChecker.h"
#include "app/UpdateDialog.h"
#include "app/UpdaterManager.h"
#include "tests/app/AppFakes.h"
#include "tests/fakes/FakeNotifications.h"
#include "tests/fakes/ManualScheduler.h"
#include "tests/fakes/MemoryDefaultsStore.h"

using namespace mirano;

namespace {

using fakes::FakeUpdateSource;
using Status = UpdateCheckResult::Status;

struct UpdaterFixture : ::testing::Test {
    fakes::MemoryDefaultsStore store;
    fakes::ManualScheduler scheduler;
    fakes::FakeNotifications notifications;
    FakeUpdateSource source;
    fakes::RecordingPresenter presenter;
    QDateTime now = QDateTime(QDate(2024, 5, 1), QTime(12, 0), Qt::UTC);

    std::unique_ptr<UpdaterManager> make() {
        return std::make_unique<UpdaterManager>(store, scheduler, notifications, source, presenter,
                                                [this] { return now; });
    }
    void advance(double seconds) {
        now = now.addMSecs(static_cast<qint64>(seconds * 1000));
        scheduler.advance(seconds);
    }
};

}  // namespace

TEST_F(UpdaterFixture, ScheduledChecksOnlyWhenOnAndWithAFeedFollowTheIntervalAndNotifyOnUpdates) {
    auto updater = make();
    advance(8 * 86400);  // automatic checks are off by default
    EXPECT_EQ(source.checks, 0);
    updater->setAutomaticallyChecksForUpdates(true);

    advance(UpdaterManager::kFirstCheckDelay);
    ASSERT_EQ(source.checks, 1);
    source.answer(Status::upToDate);
    EXPECT_TRUE(notifications.posted.isEmpty());
    EXPECT_TRUE(presenter.shown.isEmpty());
    ASSERT_TRUE(updater->lastCheckTime());

    // Nothing before a day has passed, one check when it has.
    advance(86400 - 10);
    EXPECT_EQ(source.checks, 1);
    advance(20);
    ASSERT_EQ(source.checks, 2);
    source.answer(Status::updateAvailable, "0.3.1");
    ASSERT_EQ(notifications.posted.size(), 1);
    EXPECT_EQ(notifications.posted[0].first, "Update Available");
    EXPECT_TRUE(notifications.posted[0].second.contains("0.3.1"));
    EXPECT_TRUE(presenter.shown.isEmpty());

    // A failed scheduled check stays quiet.
    advance(86400);
    ASSERT_EQ(source.checks, 3);
    source.answer(Status::failed);
    EXPECT_EQ(notifications.posted.size(), 1);
    EXPECT_TRUE(presenter.shown.isEmpty());

    // Weekly from now on: no check after two days.
    updater->setCheckInterval(UpdateCheckInterval::weekly);
    advance(2 * 86400);
    EXPECT_EQ(source.checks, 3);
    advance(5 * 86400 + 1);
    EXPECT_EQ(source.checks, 4);

    // Turned off with a check pending: the timer goes.
    source.answer(Status::upToDate);
    updater->setAutomaticallyChecksForUpdates(false);
    advance(30 * 86400);
    EXPECT_EQ(source.checks, 4);

    // Without a feed, turning them on schedules nothing.
    source.configured = false;
    updater->setAutomaticallyChecksForUpdates(true);
    advance(8 * 86400);
    EXPECT_EQ(source.checks, 4);
}

TEST_F(UpdaterFixture, ARecentCheckFromAnEarlierRunDelaysTheFirstScheduledCheck) {
    store.setValue(UpdaterManager::kAutomaticChecksKey, true);
    store.setValue(UpdaterManager::kLastCheckKey, now.addSecs(-86400 + 600).toString(Qt::ISODate));
    auto updater = make();
    advance(500);
    EXPECT_EQ(source.checks, 0);
    advance(200);
    EXPECT_EQ(source.checks, 1);
}

// The seconds-to-interval rule is checked with the settings enumerations, the settings written
// and read back through the settings form.
TEST_F(UpdaterFixture, AStoredIntervalOfNoNumberReadsAsDailyAndATinyOneStillMeansHourly) {
    store.setValue(UpdaterManager::kIntervalKey, "often");
    EXPECT_EQ(make()->checkInterval(), UpdateCheckInterval::daily);
    store.setValue(UpdaterManager::kAutomaticChecksKey, true);
    store.setValue(UpdaterManager::kIntervalKey, 0);
    auto updater = make();
    advance(UpdaterManager::kFirstCheckDelay);
    ASSERT_EQ(source.checks, 1);
    source.answer(Status::upToDate);
    advance(3599);
    EXPECT_EQ(source.checks, 1);
    advance(2);
    EXPECT_EQ(source.checks, 2);
}

TEST_F(UpdaterFixture, UserCheckShowsItsResultEvenWhenAScheduledOneIsRunning) {
    auto updater = make();
    updater->checkForUpdates();
    ASSERT_EQ(source.checks, 1);
    updater->checkForUpdates();  // joins the running check
    EXPECT_EQ(source.checks, 1);
    source.answer(Status::upToDate);
    ASSERT_EQ(presenter.shown.size(), 1);
    EXPECT_EQ(presenter.shown[0].status, Status::upToDate);
    EXPECT_TRUE(notifications.posted.isEmpty());

    updater->setAutomaticallyChecksForUpdates(true);
    store.removeValue(UpdaterManager::kLastCheckKey);
    updater->setCheckInterval(UpdateCheckInterval::daily);
    advance(UpdaterManager::kFirstCheckDelay);
    ASSERT_EQ(source.checks, 2);
    updater->checkForUpdates();
    EXPECT_EQ(source.checks, 2);
    source.answer(Status::updateAvailable, "1.0");
    ASSERT_EQ(presenter.shown.size(), 2);
    EXPECT_EQ(presenter.shown[1].latestVersion, "1.0");
    EXPECT_TRUE(notifications.posted.isEmpty());  // the user sees the dialog instead
}

TEST(UpdateDialogTest, ShowsEachOutcomeWithItsDetailsAndEscapesFeedText) {
    UpdateDialog dialog;
    UpdateCheckResult r{Status::upToDate, "0.1.0"};
    dialog.present(r);
    ASSERT_NE(dialog.box(), nullptr);
    EXPECT_TRUE(dialog.box()->text().contains("up to date"));
    EXPECT_TRUE(dialog.box()->text().contains("0.1.0"));
    QMessageBox* first = dialog.box();

    r.status = Status::updateAvailable;
    r.latestVersion = "<b>2.0</b>";
    r.releaseNotes = QUrl("https://example.org/notes?a=1&b=\"2\"");
    dialog.present(r);
    EXPECT_EQ(dialog.box(), first);  // one box, new text
    const QString text = dialog.box()->text();
    EXPECT_TRUE(text.contains("&lt;b&gt;2.0&lt;/b&gt;"));
    EXPECT_TRUE(text.contains("href=\"https://example.org/notes?a=1&amp;b=%222%22\""));

    r.status = Status::failed;
    r.error = "The update feed could not be downloaded (Connection refused).";
    dialog.present(r);
    EXPECT_TRUE(dialog.box()->text().contains("Connection refused"));
    EXPECT_TRUE(dialog.box()->text().contains("could not check"));
}

TEST(AppcastParsingTest, NewestItemVersionsAndLinks) {
    const QByteArray feed = R"(<?xml version="1.0"?>
<rss version="2.0" xmlns:sp="http://example.org/appcast-ns">
 <channel><title>Mirano</title>
  <item><title>0.9</title><enclosure url="https://x/0.9.tgz" sp:version="90" sp:shortVersionString="0.9"/></item>
  <item><title>0.10</title><sp:version>100</sp:version><sp:shortVersionString>0.10.0</sp:shortVersionString>
        <sp:releaseNotesLink>https://example.org/0.10</sp:releaseNotesLink></item>
  <item><title>no version</title></item>
  <item><title>0.2</title><enclosure sp:version="0.2"/><link>javascript:alert(1)</link></item>
 </channel></rss>)";
    const auto parsed = AppcastChecker::parse(feed);
    ASSERT_TRUE(parsed.newest) << parsed.error.toStdString();
    EXPECT_EQ(parsed.newest->version, "0.10.0");
    EXPECT_EQ(parsed.newest->releaseNotes, QUrl("https://example.org/0.10"));

    const auto onlyScript = AppcastChecker::parse(
        R"(<rss><channel><item><enclosure version="3"/><link>javascript:alert(1)</link></item></channel></rss>)");
    ASSERT_TRUE(onlyScript.newest);
    EXPECT_TRUE(onlyScript.newest->releaseNotes.isEmpty());

    EXPECT_FALSE(
        AppcastChecker::parse("<rss><channel><item><title>x</title></item></channel></rss>")
            .newest);
    EXPECT_FALSE(AppcastChecker::parse("<html><body>not a feed</body></html>").newest);
}

TEST(AppcastParsingTest, VersionOrderAndAllowedFeedAddresses) {
    EXPECT_GT(AppcastChecker::compareVersions("0.10.0", "0.9.5"), 0);
    EXPECT_EQ(AppcastChecker::compareVersions("1.0", "1.0.0"), 0);
    EXPECT_LT(AppcastChecker::compareVersions("1.0-beta", "1.0"), 0);
    EXPECT_FALSE(AppcastChecker::isAllowedFeedUrl(QUrl("file:///etc/passwd")));
    EXPECT_TRUE(AppcastChecker::isAllowedFeedUrl(QUrl("https://example.org/feed.xml")));
}

namespace {

/// Serves one canned HTTP response to every connection, on loopback.
class FeedServer : public QTcpServer {
public:
    QByteArray body;
    int status = 200;
    int requests = 0;
    /// Sends the body one byte every 100 ms instead of at once.
    bool drip = false;
    FeedServer() {
        listen(QHostAddress::LocalHost, 0);
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* s = nextPendingConnection()) {
                connect(s, &QTcpSocket::readyRead, s, [this, s] {
                    if (!s->readAll().contains("\r\n\r\n")) return;
                    ++requests;
                    s->write("HTTP/1.1 " + QByteArray::number(status) +
                             " X\r\n"
                             "Content-Type: application/rss+xml\r\nConnection: close\r\n"
                             "Content-Length: " +
                             QByteArray::number(body.size()) + "\r\n\r\n");
                    if (!drip) {
                        s->write(body);
                        s->disconnectFromHost();
                        return;
                    }
                    auto* timer = new QTimer(s);
                    connect(timer, &QTimer::timeout, s, [this, s, sent = qsizetype(0)]() mutable {
                        if (sent < body.size()) s->write(body.mid(sent++, 1));
                    });
                    timer->start(100);
                });
                connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
            }
        });
    }
    QUrl url() const {
        return QUrl(QStringLiteral("http://127.0.0.1:%1/appcast.xml").arg(serverPort()));
    }
};

QByteArray feedWith(const QString& version) {
    return QStringLiteral(R"(<?xml version="1.0"?><rss version="2.0"><channel>
        <item><title>Mirano %1</title><enclosure url="https://example.org/m.tgz" version="%1"/>
        <releaseNotesLink>https://example.org/notes/%1</releaseNotesLink></item></channel></rss>)")
        .arg(version)
        .toUtf8();
}

UpdateCheckResult runCheck(AppcastChecker& checker) {
    std::optional<UpdateCheckResult> result;
    checker.check([&](UpdateCheckResult r) { result = r; });
    EXPECT_FALSE(result) << "the result must arrive later, not inside check()";
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return result.has_value(); }, AppcastChecker::kTimeoutMs + 5000));
    return result.value_or(UpdateCheckResult{Status::upToDate, {}, {}, {}, "no answer"});
}

}  // namespace

TEST(AppcastCheckerTest, ChecksAFeedServedOnLoopback) {
    struct Row {
        const char* what;
        int status;
        QByteArray body;
        Status expected;
        QString latest, errorContains;
        bool drip = false;
    };
    const Row rows[] = {
        {"a newer version is available", 200, feedWith("0.2.0"), Status::updateAvailable, "0.2.0",
         ""},
        {"the same version is up to date", 200, feedWith("0.1.0"), Status::upToDate, "0.1.0", ""},
        {"a malformed feed fails", 200, "<rss><channel><item><enclosure version=", Status::failed,
         "", ""},
        {"a missing feed fails", 404, "gone", Status::failed, "", ""},
        {"an oversized feed is refused", 200,
         feedWith("9.0") + QByteArray(AppcastChecker::kMaxFeedBytes + 10, ' '), Status::failed, "",
         "too large"},
        // The whole feed would take 25 s to arrive, byte by byte.
        {"a feed that drips is abandoned when the whole check takes too long", 200,
         feedWith("0.2.0"), Status::failed, "", "in time", true},
    };
    FeedServer server;
    ASSERT_TRUE(server.isListening());
    AppcastChecker checker(server.url(), "0.1.0", 1500);  // one checker, checking again and again
    int requests = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        server.status = row.status;
        server.body = row.body;
        server.drip = row.drip;
        const UpdateCheckResult r = runCheck(checker);
        EXPECT_EQ(r.status, row.expected) << r.error.toStdString();
        EXPECT_EQ(server.requests, ++requests);
        if (row.expected == Status::failed) {
            EXPECT_TRUE(!r.error.isEmpty() && r.error.contains(row.errorContains))
                << r.error.toStdString();
        } else {
            EXPECT_EQ(r.latestVersion, row.latest);
        }
        if (row.expected == Status::updateAvailable) {
            EXPECT_EQ(r.releaseNotes, QUrl("https://example.org/notes/" + row.latest));
        }
    }
}

TEST(AppcastCheckerTest, UnreachableInsecureAndMissingFeedsFailWithAReason) {
    quint16 closedPort;
    {
        QTcpServer probe;
        ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
        closedPort = probe.serverPort();
    }
    EXPECT_FALSE(AppcastChecker(QUrl(), "0.1.0").isConfigured());
    const std::pair<QUrl, QString> rows[] = {
        {QUrl(QStringLiteral("http://127.0.0.1:%1/feed").arg(closedPort)), ""},
        {QUrl("http://updates.example.org/feed.xml"), "HTTPS"},
        {QUrl(), "No update feed is configured."}};
    for (const auto& [feed, reason] : rows) {
        AppcastChecker checker(feed, "0.1.0");
        const auto r = runCheck(checker);
        EXPECT_EQ(r.status, Status::failed) << feed.toString().toStdString();
        EXPECT_TRUE(!r.error.isEmpty() && r.error.contains(reason)) << r.error.toStdString();
    }
}
