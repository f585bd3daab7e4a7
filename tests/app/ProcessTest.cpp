// The process around the shell: its command line, the one-instance rule, and hand-overs to
// the main thread that must stop safely when the application object goes.
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <atomic>
#include <csignal>
#include <cstring>
#include <future>
#include <thread>

#include "app/CommandLine.h"
#include "app/QuitSignals.h"
#include "app/SingleInstance.h"
#include "platform/qt/QtScheduler.h"
#include "tests/support/ScopedEnv.h"

using namespace mirano;

TEST(CommandLineTest, HelpVersionAndRequestsToTheRunningMiranoAndUsageErrors) {
    using enum CommandLine::Action;
    using enum InstanceRequest;
    // Arguments; exit code (2: a usage error, told on standard error); how the text starts.
    const std::tuple<QString, int, const char*> printed[] = {
        {"--help", 0, "Usage: mirano [--help] [--version] [--toggle"},
        {"-h", 0, "Usage: mirano"},
        {"--version", 0, "Mirano "},
        {"-v", 0, "Mirano "},
        {"--toggle --help", 0, "Usage: mirano"},
        {"--verbose", 2, "mirano: unknown argument '--verbose'\nUsage: mirano"},
        {"settings", 2, "mirano: unknown argument 'settings'"},
        {"--bogus --help", 2, "mirano: unknown argument '--bogus'"},
        {"--hide --toggle", 2, "mirano: one request at a time, not '--toggle'"},
        {"--toggle now", 2, "mirano: unknown argument 'now'"},
    };
    for (const auto& [arguments, exitCode, textStarts] : printed) {
        const CommandLine c = CommandLine::parse(arguments.split(' '));
        const bool told = c.text().startsWith(textStarts) && c.text().endsWith('\n');
        EXPECT_EQ(std::tuple(c.action(), c.exitCode(), c.toStandardError(), told),
                  std::tuple(print, exitCode, exitCode != 0, true))
            << arguments.toStdString() << ": " << c.text().toStdString();
    }
    EXPECT_EQ(CommandLine::parse({}).action(), run);
    for (const auto& [argument, request] : {std::pair("--toggle", toggle),
                                            {"--region", region},
                                            {"--hide", hide},
                                            {"--settings", openSettings},
                                            {"--quit", quit}}) {
        const CommandLine c = CommandLine::parse({argument});
        EXPECT_EQ(std::tuple(c.action(), c.exitCode(), c.request()), std::tuple(remote, 0, request))
            << argument;
    }
}

TEST(SingleInstanceTest, ALaterLaunchInTheSameSessionHandsItsRequestsToTheFirst) {
    using enum InstanceRequest;
    QTemporaryDir dir;
    SingleInstance first(dir.path(), ":7");
    ASSERT_TRUE(first.claim() && first.listen());
    std::vector<InstanceRequest> requests;
    first.onRequest = [&](InstanceRequest request) { requests.push_back(request); };

    // Another session is another instance (that ":7.0" is session ":7" is the X11 backend's
    // word: X11BackendX11Test).
    SingleInstance second(dir.path(), ":7"), elsewhere(dir.path(), ":8");
    EXPECT_EQ((std::tuple{second.isHeld(), second.claim(), elsewhere.isHeld(), elsewhere.claim()}),
              std::tuple(true, false, false, true));

    // The second one waits for each answer, which the first gives from its event loop.
    for (const InstanceRequest request : {openSettings, toggle, region, hide, quit}) {
        auto asked = std::async(std::launch::async, [&] { return second.ask(request, 5000); });
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return asked.wait_for(std::chrono::seconds(0)) == std::future_status::ready; },
            10000));
        EXPECT_TRUE(asked.get());
    }
    EXPECT_EQ(requests, (std::vector{openSettings, toggle, region, hide, quit}));

    // A holder that never listened answers nothing; once it is gone, the next launch is the
    // instance.
    {
        SingleInstance gone(dir.path(), ":9");
        ASSERT_TRUE(gone.claim());
        EXPECT_FALSE(SingleInstance(dir.path(), ":9").ask(toggle, 300));
    }
    SingleInstance next(dir.path(), ":9");
    EXPECT_EQ((std::pair{next.isHeld(), next.claim()}), std::pair(false, true));
}

constexpr uid_t kStranger = 65534;  // nobody

// Another local user makes the runtime folder world-writable, or runs
// `mkdir -m 777 /tmp/mirano-<uid>` first: single instance still holds, in a private fallback
// folder, and one line says why the planted folders are not used.
TEST(SingleInstanceTest, FoldersPlantedByAnotherUserDoNotTurnSingleInstanceOff) {
    QTemporaryDir dir;
    const QString shared = dir.filePath("shared"),
                  planted = dir.filePath(QStringLiteral("tmp/mirano-%1").arg(::getuid()));
    for (const auto& [path, mode] : {std::pair(shared, 01777), {planted, 0777}})
        ASSERT_TRUE(QDir().mkpath(path) && ::chmod(QFile::encodeName(path).constData(), mode) == 0);
    // As root, the planted folder is the other user's.
    ASSERT_TRUE(::geteuid() != 0 ||
                ::chown(QFile::encodeName(planted).constData(), kStranger, kStranger) == 0);
    const auto runtime = mirano::testing::scopedEnv("XDG_RUNTIME_DIR", shared),
               tmp = mirano::testing::scopedEnv("TMPDIR", dir.filePath("tmp")),
               cache = mirano::testing::scopedEnv("XDG_CACHE_HOME", dir.filePath("cache"));

    ::testing::internal::CaptureStdout();
    SingleInstance first(SingleInstance::defaultDirectory(), ":5");
    const QString out = QString::fromStdString(::testing::internal::GetCapturedStdout());
    EXPECT_TRUE(out.contains("not using " + shared + " (writable by other users), " + planted))
        << out.toStdString();
    EXPECT_TRUE(first.lockPath().startsWith(dir.filePath("cache/mirano/")))
        << first.lockPath().toStdString();
    EXPECT_TRUE(first.claim()) << "no lock in the fallback folder";
}

// A process of another user answering on the socket in the user's own folder is never obeyed:
// its credentials tell it apart.
TEST(SingleInstanceTest, AnotherUsersSocketIsNeverObeyed) {
    if (::geteuid() != 0) GTEST_SKIP() << "acting as another user needs root";
    QTemporaryDir dir;
    const SingleInstance victim(dir.path(), ":5");
    const QByteArray path = QFile::encodeName(victim.socketPath());
    sockaddr_un address{.sun_family = AF_UNIX, .sun_path = {}};
    std::memcpy(address.sun_path, path.constData(), path.size());
    const int server = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_EQ(::bind(server, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    const pid_t stranger = ::fork();
    if (stranger == 0) {
        // Bound as root, so the socket looks like the user's; the peer's credentials are taken
        // at listen(). It answers "ok" to anything.
        if (::setgroups(0, nullptr) != 0 || ::setgid(kStranger) != 0 || ::setuid(kStranger) != 0 ||
            ::listen(server, 4) != 0)
            ::_exit(1);
        for (int client; (client = ::accept(server, nullptr, nullptr)) >= 0; ::close(client)) {
            char request[64];
            if (::read(client, request, sizeof request) > 0)
                ::send(client, "ok\n", 3, MSG_NOSIGNAL);
        }
        ::_exit(3);
    }
    const auto reap = qScopeGuard([&] {
        ::close(server);
        ::kill(stranger, SIGKILL);
        ::waitpid(stranger, nullptr, 0);
    });
    EXPECT_FALSE(victim.ask(InstanceRequest::openSettings, 2000)) << "obeyed another user";
    EXPECT_EQ(::waitpid(stranger, nullptr, WNOHANG), 0) << "the stranger never listened";
}

// A quit signal ends Mirano through its event loop when the main thread is free, and within
// the grace period anyway when it is not (stuck in a read that never ends).
TEST(QuitSignalsTest, ASignalQuitsInOrderOrAtOnceWhenTheMainThreadIsBusy) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            QObject context;
            bool quit = false;
            quitOnSignals(&context, [&] { quit = true; });
            ::raise(SIGTERM);
            std::_Exit(QTest::qWaitFor([&] { return quit; }, 5000) ? 3 : 4);
        },
        ::testing::ExitedWithCode(3), "");
    EXPECT_EXIT(
        {
            QObject context;
            quitOnSignals(&context, [] {});
            ::raise(SIGTERM);
            std::this_thread::sleep_for(std::chrono::seconds(20));
            std::_Exit(0);
        },
        ::testing::ExitedWithCode(128 + SIGTERM), "");
}

TEST(QtSchedulerTest, PostsFromAnotherThreadRunOnTheMainThreadAndStopWhenTheContextGoes) {
    auto context = std::make_unique<QObject>();
    QtScheduler scheduler(context.get());
    const auto mainThread = std::this_thread::get_id();
    std::atomic<int> ran{0};
    std::atomic<bool> elsewhere{false}, stop{false};
    std::thread poster([&] {
        while (!stop) {
            scheduler.post([&] {
                elsewhere = elsewhere || std::this_thread::get_id() != mainThread;
                ++ran;
            });
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    });
    EXPECT_TRUE(QTest::qWaitFor([&] { return ran > 20; }, 5000));
    context.reset();  // as the application object at exit, while frames are still handed over
    QTest::qWait(50);
    const int before = ran;
    QTest::qWait(50);
    stop = true;
    poster.join();
    EXPECT_EQ(ran, before) << "a task ran after its context was gone";
    EXPECT_FALSE(elsewhere);
}
