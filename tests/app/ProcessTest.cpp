// The process around the shell: its command line, the one-instance rule, and hand-overs to
// the main thread that must stop safely when the application object goes.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <QTest>
#include <atomic>
#include <future>
#include <thread>

#include "app/CommandLine.h"
#include "app/SingleInstance.h"
#include "platform/qt/QtScheduler.h"

using namespace mirano;

TEST(CommandLineTest, HelpAndVersionPrintAndUnknownArgumentsAreUsageErrors) {
    using enum CommandLine::Action;
    // Arguments; the action, exit code and stream it asks for; how its text starts.
    const std::tuple<QStringList, CommandLine::Action, int, bool, const char*> rows[] = {
        {{}, run, 0, false, ""},
        {{"--help"}, print, 0, false, "Usage: mirano [--help] [--version]\n"},
        {{"-h"}, print, 0, false, "Usage: mirano"},
        {{"--version"}, print, 0, false, "Mirano "},
        {{"-v"}, print, 0, false, "Mirano "},
        {{"--verbose"}, print, 2, true, "mirano: unknown argument '--verbose'\nUsage: mirano"},
        {{"settings"}, print, 2, true, "mirano: unknown argument 'settings'"},
        {{"--bogus", "--help"}, print, 2, true, "mirano: unknown argument '--bogus'"},
    };
    for (const auto& [arguments, action, exitCode, toStandardError, textStarts] : rows) {
        SCOPED_TRACE(arguments.join(' ').toStdString());
        const CommandLine c = CommandLine::parse(arguments);
        EXPECT_EQ(std::tuple(c.action(), c.exitCode(), c.toStandardError()),
                  std::tuple(action, exitCode, toStandardError));
        const QString starts = QString::fromUtf8(textStarts);
        EXPECT_EQ(c.text().left(starts.size()), starts) << c.text().toStdString();
        EXPECT_EQ(c.text().endsWith('\n'), action == print);
    }
}

TEST(SingleInstanceTest, ASecondInstanceOnTheSameDisplayAsksTheFirstToOpenItsSettings) {
    QTemporaryDir dir;
    SingleInstance first(dir.path(), ":7");
    ASSERT_TRUE(first.claim());
    ASSERT_TRUE(first.listen());
    int requests = 0;
    first.onOpenSettingsRequested = [&] { ++requests; };

    // ":7.0" is the same display; another display is another instance.
    SingleInstance second(dir.path(), ":7.0");
    EXPECT_FALSE(second.claim());
    SingleInstance elsewhere(dir.path(), ":8");
    EXPECT_TRUE(elsewhere.claim());

    // The second one waits for the answer, which the first gives from its event loop.
    auto asked = std::async(std::launch::async, [&] { return second.askToOpenSettings(5000); });
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return asked.wait_for(std::chrono::seconds(0)) == std::future_status::ready; },
        10000));
    EXPECT_TRUE(asked.get());
    EXPECT_EQ(requests, 1);

    // Once the first is gone, the next launch is the instance.
    first.onOpenSettingsRequested = nullptr;
    {
        SingleInstance gone(dir.path(), ":9");
        ASSERT_TRUE(gone.claim());
        SingleInstance waiting(dir.path(), ":9");
        EXPECT_FALSE(waiting.claim());
        EXPECT_FALSE(waiting.askToOpenSettings(300)) << "nobody answers: the holder never listened";
    }
    SingleInstance next(dir.path(), ":9");
    EXPECT_TRUE(next.claim());
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
