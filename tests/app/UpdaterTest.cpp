// The update checker: its settings and their mapping, scheduling on a manual clock, and the
// appcast check against feeds served on loopback by the test itself.
#include <gtest/gtest.h>

#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>

#include "app/AppcastChecker.h"
#include "app/UpdaterManager.h"
#include "tests/app/AppFakes.h"

using namespace mirano;

namespace {

using Status = UpdateCheckResult::Status;

struct UpdaterFixture : ::testing::Test, fakes::UpdaterWorld {
    const double start = scheduler.now();

    /// The wall clock, which goes with the scheduler's.
    QDateTime now() const {
        return QDateTime(QDate(2024, 5, 1), QTime(12, 0), Qt::UTC)
            .addMSecs(static_cast<qint64>((scheduler.now() - start) * 1000));
    }
    std::unique_ptr<UpdaterManager> make() {
        return std::make_unique<UpdaterManager>(store, scheduler, notifications, source, presenter,
                                                [this] { return now(); });
    }
    /// Moves the clock on; returns how many checks have started by then.
    int checksAfter(double seconds) {
        scheduler.advance(seconds);
        return source.checks;
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
    EXPECT_TRUE(QTest::qWaitFor([&] { return bool(result); }, AppcastChecker::kTimeoutMs + 5000));
    return result.value_or(UpdateCheckResult{Status::upToDate, {}, {}, {}, "no answer"});
}

}  // namespace

TEST_F(UpdaterFixture, ScheduledChecksOnlyWhenOnAndWithAFeedAndOnlyAnUpdateIsTold) {
    auto updater = make();
    EXPECT_EQ(checksAfter(8 * 86400), 0) << "automatic checks are off by default";
    updater->setAutomaticallyChecksForUpdates(true);
    // A check a day (to the second: the table below), of which only a newer version is told.
    double wait = UpdaterManager::kFirstCheckDelay;
    int checks = 0;
    for (const auto& [status, notes] :
         {std::pair(Status::upToDate, 0), {Status::updateAvailable, 1}, {Status::failed, 1}}) {
        ASSERT_EQ(checksAfter(std::exchange(wait, 86400)), ++checks);
        source.answer(status, "0.3.1");
        EXPECT_EQ(notifications.posted.size(), notes);
        EXPECT_FALSE(presenter.box()) << "a scheduled check showed the dialog";
    }
    EXPECT_EQ(notifications.posted.value(0).first, "Update Available");
    EXPECT_TRUE(notifications.posted.value(0).second.contains("0.3.1"));

    // Turned off with a check scheduled: the timer goes.
    updater->setAutomaticallyChecksForUpdates(false);
    EXPECT_EQ(checksAfter(30 * 86400), 3);

    // Without a feed, turning them on schedules nothing.
    source.configured = false;
    updater->setAutomaticallyChecksForUpdates(true);
    EXPECT_EQ(checksAfter(8 * 86400), 3);
}

// The settings form shows the stored interval as one of its three choices (reading seconds
// truncated, anything else as weekly), and scheduled checks follow the choice it shows; a check
// made in an earlier run counts.
TEST_F(UpdaterFixture, ScheduledChecksFollowTheIntervalTheSettingsFormShowsAndTheLastCheck) {
    using enum UpdateCheckInterval;
    // Stored interval, the choice shown, seconds since the last check (none: never checked).
    const std::tuple<QJsonValue, UpdateCheckInterval, std::optional<int>> rows[] = {
        {"often", daily, {}}, {0, weekly, {}},
        {3600, weekly, {}},   {90000, weekly, {}},
        {86400.9, daily, {}}, {259200, every3Days, {}},
        {1e300, weekly, {}},  {86400, daily, 86400 - 600}};
    store.setValue(UpdaterManager::kAutomaticChecksKey, true);
    for (const auto& [stored, shown, sinceLast] : rows) {
        SCOPED_TRACE(stored.toVariant().toString().toStdString());
        store.setValue(UpdaterManager::kIntervalKey, stored);
        store.setValue(UpdaterManager::kLastCheckKey,
                       sinceLast ? now().addSecs(-*sinceLast).toString(Qt::ISODate) : "");
        const int checks = source.checks;
        auto updater = make();
        EXPECT_EQ(updater->checkInterval(), shown);
        const auto seconds = static_cast<double>(UpdateCheckIntervals::rawValue(shown));
        const double first = sinceLast ? seconds - *sinceLast : UpdaterManager::kFirstCheckDelay;
        EXPECT_EQ(checksAfter(first - 1), checks);
        ASSERT_EQ(checksAfter(2), checks + 1);
        source.answer(Status::upToDate);
        EXPECT_EQ(checksAfter(seconds - 1), checks + 1);
        EXPECT_EQ(checksAfter(2), checks + 2);
        source.answer(Status::upToDate);
    }
}

// The dialog shows each outcome with its details, in one box, feed text escaped.
TEST_F(UpdaterFixture, UserCheckShowsItsResultEvenWhenAScheduledOneIsRunning) {
    auto shows = [&](const QString& a, const QString& b) {
        return presenter.box() && presenter.box()->text().contains(a) &&
               presenter.box()->text().contains(b);
    };
    auto updater = make();
    updater->checkForUpdates();
    updater->checkForUpdates();
    ASSERT_EQ(source.checks, 1) << "the second check joins the running one";
    source.answer(Status::upToDate);
    EXPECT_TRUE(shows("up to date", "0.1.0"));
    const auto* first = presenter.box();

    updater->setAutomaticallyChecksForUpdates(true);
    store.removeValue(UpdaterManager::kLastCheckKey);
    updater->setCheckInterval(UpdateCheckInterval::daily);  // reschedules without the last check
    ASSERT_EQ(checksAfter(UpdaterManager::kFirstCheckDelay), 2);
    updater->checkForUpdates();
    EXPECT_EQ(source.checks, 2);
    source.answer(Status::updateAvailable, "<b>2.0</b>",
                  QUrl("https://example.org/notes?a=1&b=\"2\""));
    EXPECT_EQ(presenter.box(), first);
    EXPECT_TRUE(
        shows("&lt;b&gt;2.0&lt;/b&gt;", "href=\"https://example.org/notes?a=1&amp;b=%222%22\""));
    EXPECT_TRUE(notifications.posted.isEmpty());  // the user sees the dialog instead

    updater->checkForUpdates();
    source.answer(Status::failed);
    EXPECT_TRUE(shows("offline", "could not check"));
}

TEST(AppcastCheckerTest, ChecksSecureFeedsServedOnLoopbackUntilTheServerIsGoneComparingVersions) {
    using enum UpdateCheckResult::Status;
    struct Row {
        const char* what;
        int status;
        QByteArray body;
        Status expected;
        QString detail;  ///< The latest version found, or what the error says.
        QUrl notes = {};
        bool drip = false;  ///< The body comes one byte every 100 ms.
    };
    const QByteArray several = R"(<rss xmlns:sp="http://example.org/appcast-ns"><channel>
  <item><title>0.9</title><enclosure url="https://x/0.9.tgz" sp:version="90" sp:shortVersionString="0.9"/></item>
  <item><title>0.10</title><sp:version>100</sp:version><sp:shortVersionString>0.10.0</sp:shortVersionString>
        <sp:releaseNotesLink>https://example.org/0.10</sp:releaseNotesLink></item>
  <item><title>no version</title></item>
  <item><title>0.2</title><enclosure sp:version="0.2"/><link>javascript:alert(1)</link></item></channel></rss>)";
    const Row rows[] = {
        {"a newer version is available", 200, feedWith("0.2.0"), updateAvailable, "0.2.0",
         QUrl("https://example.org/notes/0.2.0")},
        {"the same version is up to date", 200, feedWith("0.1.0"), upToDate, "0.1.0",
         QUrl("https://example.org/notes/0.1.0")},
        {"the newest of several items", 200, several, updateAvailable, "0.10.0",
         QUrl("https://example.org/0.10")},
        {"a script link is no release notes", 200,
         R"(<rss><channel><item><enclosure version="3"/><link>javascript:alert(1)</link></item></channel></rss>)",
         updateAvailable, "3"},
        {"an appcast without versions fails", 200,
         "<rss><channel><item><title>x</title></item></channel></rss>", failed, "no versions"},
        {"a web page fails", 200, "<html><body>not a feed</body></html>", failed, "not an appcast"},
        {"a malformed feed fails", 200, "<rss><channel><item><enclosure version=", failed,
         "could not be read"},
        {"a missing feed fails", 404, "gone", failed, "could not be downloaded"},
        {"an oversized feed is refused", 200,
         feedWith("9.0") + QByteArray(AppcastChecker::kMaxFeedBytes + 10, ' '), failed,
         "too large"},
        // The whole feed would take 25 s to arrive.
        {"a feed that drips is abandoned", 200, feedWith("0.2.0"), failed, "in time", {}, true},
    };
    // Serves the current row's response to every request.
    const Row* row = nullptr;
    int requests = 0;
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
    QObject::connect(&server, &QTcpServer::newConnection, [&] {
        while (QTcpSocket* s = server.nextPendingConnection()) {
            QObject::connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
            QObject::connect(s, &QTcpSocket::readyRead, s, [&, s] {
                if (!s->readAll().contains("\r\n\r\n")) return;
                ++requests;
                s->write(QString::asprintf("HTTP/1.1 %d X\r\nContent-Type: application/rss+xml\r\n"
                                           "Connection: close\r\nContent-Length: %lld\r\n\r\n",
                                           row->status, qlonglong(row->body.size()))
                             .toLatin1());
                if (!row->drip) {
                    s->write(row->body);
                    return s->disconnectFromHost();
                }
                auto* timer = new QTimer(s);
                QObject::connect(timer, &QTimer::timeout, s,
                                 [s, body = row->body, sent = qsizetype(0)]() mutable {
                                     if (sent < body.size()) s->write(body.mid(sent++, 1));
                                 });
                timer->start(100);
            });
        }
    });
    // One checker, checking again and again.
    AppcastChecker checker(
        QUrl(QStringLiteral("http://127.0.0.1:%1/appcast.xml").arg(server.serverPort())), "0.1.0",
        1500);
    for (const Row& current : rows) {
        SCOPED_TRACE(current.what);
        row = &current;
        const int before = requests;
        const UpdateCheckResult r = runCheck(checker);
        EXPECT_EQ(std::pair(r.status, requests), std::pair(current.expected, before + 1))
            << r.error.toStdString();
        if (current.expected == failed)
            EXPECT_TRUE(r.error.contains(current.detail)) << r.error.toStdString();
        else
            EXPECT_EQ(std::pair(r.latestVersion, r.releaseNotes),
                      std::pair(current.detail, current.notes));
    }
    server.close();  // the port refuses connections now
    // The refused port, an address that is not secure and none at all fail, and say why.
    AppcastChecker insecure(QUrl("http://updates.example.org/feed.xml"), "0.1.0"),
        none(QUrl(), "0.1.0");
    for (const auto& [c, reason] : {std::pair(&checker, "could not be downloaded"),
                                    {&insecure, "HTTPS"},
                                    {&none, "No update feed is configured."}}) {
        const auto r = runCheck(*c);
        EXPECT_TRUE(r.status == failed && r.error.contains(reason)) << r.error.toStdString();
    }
    EXPECT_GT(AppcastChecker::compareVersions("0.10.0", "0.9.5"), 0);
    EXPECT_EQ(AppcastChecker::compareVersions("1.0", "1.0.0"), 0);
    EXPECT_LT(AppcastChecker::compareVersions("1.0-beta", "1.0"), 0);
    EXPECT_FALSE(AppcastChecker::isAllowedFeedUrl(QUrl("file:///etc/passwd")));
    EXPECT_TRUE(AppcastChecker::isAllowedFeedUrl(QUrl("https://example.org/feed.xml")));
}
