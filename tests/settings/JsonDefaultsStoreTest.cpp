// The settings file on disk: write-through, owner-only mode, edits made outside, broken and
// unreadable files.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>
#include <optional>

#include "platform/qt/JsonDefaultsStore.h"
#include "platform/qt/PrivateFile.h"
#include "settings/AppSettings.h"
#include "tests/support/Files.h"

namespace mirano {
namespace {

using namespace testing;

QJsonObject json(const QByteArray& text) { return QJsonDocument::fromJson(text).object(); }

/// A settings file in a fresh directory, with a store and settings on it once opened.
struct JsonDefaultsStoreTest : ::testing::Test {
    QTemporaryDir dir;
    QString path = dir.filePath("defaults.json");
    std::optional<JsonDefaultsStore> store;
    std::optional<AppSettings> settings;

    /// Writes `text` as the file (unless none is given), then opens the store on it anew.
    void open(const QByteArray& text = {}) {
        settings.reset();
        ASSERT_TRUE(text.isNull() || writeFile(path, text));
        store.emplace(path);
        settings.emplace(*store);
    }
    QJsonObject onDisk() const { return json(readFile(path)); }
    /// The bytes of each file moved aside, oldest first.
    QList<QByteArray> keptAside() const {
        QList<QByteArray> kept;
        for (const QString& name : QDir(dir.path()).entryList({"defaults.json.corrupt-*"}))
            kept << readFile(dir.filePath(name));
        return kept;
    }
};

// A new user's settings folder does not exist yet: a file created there later is still read.
TEST_F(JsonDefaultsStoreTest, ReadsAFileMadeLaterWritesThroughOwnerOnlyKeepsUnknownKeysSeesEdits) {
    path = dir.filePath("config/mirano/defaults.json");
    open();
    ASSERT_TRUE(QDir().mkpath(dir.filePath("config/mirano")));
    ASSERT_TRUE(writeFile(path, R"({"someFutureKey": [1, 2], "frameRate": 24})"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return settings->frameRate() == 24; }, 5000));
    settings->setTriggerKey("K");
    settings->setPipWidth(400);
    // Unknown keys survive a write; numbers stay numbers.
    EXPECT_EQ(onDisk(), json(R"({"someFutureKey": [1, 2], "frameRate": 24, "triggerKey": "K",
                                 "pipWidth": 400})"));
    using P = QFileDevice::Permission;
    EXPECT_EQ(QFile::permissions(path), P::ReadOwner | P::WriteOwner | P::ReadUser | P::WriteUser);

    // An edit on disk, made the way editors do (a new file renamed over the old one), is seen
    // and announced.
    QSignalSpy spy(&*store, &DefaultsStore::changed);
    ASSERT_TRUE(writeFile(path + ".new", R"({"frameRate": 45, "modifier": "leftOption"})"));
    QFile::remove(path);
    QFile::rename(path + ".new", path);
    EXPECT_TRUE(QTest::qWaitFor([&] { return settings->frameRate() == 45; }, 5000));
    EXPECT_EQ(settings->modifier(), ModifierKey::leftOption);
    EXPECT_GE(spy.count(), 2);
}

// An editor (or `cat >`) rewriting the file in place: the half-written file is not taken
// for a broken one, no setting is lost and nothing is moved aside.
TEST_F(JsonDefaultsStoreTest, AFileRewrittenInPlaceInPiecesIsReadOnceItSettles) {
    open(R"({"frameRate": 24, "pipPosition": "topLeft"})");
    int defaultsSeen = 0;
    QObject::connect(&*store, &DefaultsStore::changed, [&] {
        defaultsSeen += settings->frameRate() == 10 || settings->pipPositionRaw() == "bottomRight";
    });

    for (int rate = 25; rate < 35; ++rate) {
        const QByteArray text =
            QStringLiteral(R"({"frameRate": %1, "pipPosition": "topLeft"})").arg(rate).toUtf8();
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));  // same inode
        f.write(text.left(12));
        f.flush();
        QTest::qWait(rate == 25 ? 100 : 10);
        f.write(text.mid(12));
        f.close();
        QTest::qWait(10);
    }
    EXPECT_TRUE(QTest::qWaitFor([&] { return settings->frameRate() == 34; }, 5000));
    EXPECT_EQ(settings->pipPositionRaw(), "topLeft");
    EXPECT_EQ(defaultsSeen, 0) << "the live settings went back to their defaults";
    EXPECT_TRUE(keptAside().isEmpty());
}

// The process's store is never destroyed: a key set while an outside edit settles is still
// written when the application quits.
TEST_F(JsonDefaultsStoreTest, AKeySetJustBeforeQuittingIsOnDisk) {
    open(R"({"frameRate": 24})");
    for (int tries = 0; tries < 20; ++tries) {
        ASSERT_TRUE(writeFile(path, R"({"frameRate": 30})"));  // in place: read once it has settled
        QTest::qWait(20);
        settings->setTriggerKey("K");
        if (!onDisk().contains("triggerKey")) break;  // held until the edit has settled
        store->removeValue("triggerKey");
        QTest::qWait(2 * JsonDefaultsStore::kSettleMs);
    }
    ASSERT_FALSE(onDisk().contains("triggerKey")) << "the edit was never seen settling";
    QTimer::singleShot(0, qApp, &QCoreApplication::quit);
    QCoreApplication::exec();
    EXPECT_EQ(onDisk(), json(R"({"frameRate": 30, "triggerKey": "K"})"));
}

// A file that does not parse at start is moved aside and the defaults apply. One that turns
// broken while running (a broken edit that stays broken) keeps the live settings, and the
// user's text is moved aside only before Mirano writes the file again. Each is said once.
TEST_F(JsonDefaultsStoreTest, ABrokenFileIsKeptAsideAndABrokenEditNeverResetsTheLiveSettings) {
    ::testing::internal::CaptureStdout();
    open(R"({ "frameRate": 30, oops)");
    EXPECT_EQ(settings->frameRate(), 10);
    EXPECT_EQ(keptAside(), QList<QByteArray>{R"({ "frameRate": 30, oops)"});
    settings->setFrameRate(24);

    ASSERT_TRUE(writeFile(path, R"({"frameRate": 31, oops)"));
    QTest::qWait(JsonDefaultsStore::kSettleMs * (JsonDefaultsStore::kParseAttempts + 3));
    EXPECT_EQ(settings->frameRate(), 24);
    EXPECT_EQ(keptAside().size(), 1) << "moved away before Mirano had to write";

    settings->setTriggerKey("K");
    const QString out = QString::fromStdString(::testing::internal::GetCapturedStdout());
    EXPECT_EQ(out.count("does not parse ("), 3) << out.toStdString();  // at start, seen, moved
    EXPECT_EQ(keptAside().value(1), QByteArray(R"({"frameRate": 31, oops)"));
    EXPECT_EQ(onDisk(), json(R"({"frameRate": 24, "triggerKey": "K"})"));
}

// A write that comes before the store noticed a symlink to something other than a file (a FIFO
// here; a device as root) leaves that thing as it is; a symlink to a file is written through.
TEST_F(JsonDefaultsStoreTest, AWriteNeverReplacesWhatASymlinkPointsToUnlessItIsAFile) {
    const QString fifo = dir.filePath("fifo");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    ASSERT_TRUE(QFile::link(fifo, path));
    EXPECT_EQ(writePrivateFile(path, "{}"), "not a regular file");
    EXPECT_TRUE(QFileInfo(fifo).exists() && !QFileInfo(fifo).isFile()) << "the FIFO was replaced";

    const QString target = dir.filePath("target.json");
    ASSERT_TRUE(writeFile(target, "{}"));
    ASSERT_TRUE(QFile::remove(path) && QFile::link(target, path));
    EXPECT_EQ(writePrivateFile(path, R"({"frameRate": 5})"), "");
    EXPECT_EQ(onDisk(), json(R"({"frameRate": 5})"));
    EXPECT_TRUE(QFileInfo(path).isSymLink());
}

// Something other than a settings file in its place, at start or while running: a directory
// (unreadable as a file even for root, like a root-owned file with mode 000), a FIFO (which
// would block open() for good: the test then hangs until its timeout; a device is refused by
// the same check), a
// 1 GB sparse file. Each is refused in one line naming the file and the reason, within a
// second; the live settings stay, nothing is written, and a sane file is read again with the
// change made meanwhile added. One refusal turning into another is said again, the same one
// twice only once.
TEST_F(JsonDefaultsStoreTest, WhatIsNoSmallRegularFileIsRefusedWithoutBlockingOrBeingWrittenOver) {
    const QByteArray name = QFile::encodeName(path);
    const std::tuple<const char*, std::function<void()>, const char*> rows[] = {
        {"directory", [&] { ASSERT_TRUE(QDir().mkdir(path)); }, "not a regular file"},
        {"fifo", [&] { ASSERT_EQ(::mkfifo(name.constData(), 0600), 0); }, "not a regular file"},
        {"1 GB",
         [&] {
             ASSERT_TRUE(writeFile(path, "{}"));
             ASSERT_EQ(::truncate(name.constData(), 1LL << 30), 0);
         },
         "larger than 1 MB"},
    };
    const auto removed = [&] { return QFile::remove(path) || QDir().rmdir(path); };
    QString out;
    // Whether the output so far says `text`; the capture goes on.
    const auto said = [&](const QString& text) {
        out += QString::fromStdString(::testing::internal::GetCapturedStdout());
        ::testing::internal::CaptureStdout();
        return out.contains(text);
    };
    const auto leftAsItIs = [&] {
        const QFileInfo file(path);
        return file.exists() && !(file.isFile() && file.size() < (1LL << 30));
    };
    ::testing::internal::CaptureStdout();
    for (const auto& [what, plant, reason] : rows) {
        SCOPED_TRACE(what);
        open(R"({"frameRate": 24})");
        out.clear();
        ASSERT_TRUE(removed());
        plant();
        const QString line = QString("Settings file %1 cannot be read (%2)").arg(path, reason);
        EXPECT_TRUE(QTest::qWaitFor([&] { return said(line); }, 3000)) << out.toStdString();
        settings->setTriggerKey("K");
        EXPECT_EQ(std::pair(settings->frameRate(), leftAsItIs()), std::pair(24, true))
            << "the live settings stay, the thing is not written over";

        // At start, too: the defaults apply and the thing stays.
        open();
        settings->setTriggerKey("J");
        EXPECT_EQ(std::pair(settings->frameRate(), leftAsItIs()), std::pair(10, true));

        // Sane again: read, and the change made meanwhile written on top.
        ASSERT_TRUE(removed());
        ASSERT_TRUE(writeFile(path, R"({"frameRate": 40})"));
        EXPECT_TRUE(QTest::qWaitFor([&] { return onDisk().contains("triggerKey"); }, 5000));
        EXPECT_EQ(std::pair(onDisk(), settings->frameRate()),
                  std::pair(json(R"({"frameRate": 40, "triggerKey": "J"})"), 40));
        said({});
        EXPECT_EQ(out.count("cannot be read"), 2) << out.toStdString();
    }

    open(R"({"frameRate": 24})");
    out.clear();
    for (const auto& [what, plant, reason] : rows) {
        ASSERT_TRUE(removed());
        plant();
        EXPECT_TRUE(QTest::qWaitFor([&] { return said(reason); }, 3000)) << what;
    }
    QTest::qWait(2 * JsonDefaultsStore::kUnreadableRetryMs + 200);  // retried, not said again
    out += QString::fromStdString(::testing::internal::GetCapturedStdout());
    EXPECT_EQ(out.count("cannot be read"), 2) << out.toStdString();  // same reason twice: once
}

}  // namespace
}  // namespace mirano
