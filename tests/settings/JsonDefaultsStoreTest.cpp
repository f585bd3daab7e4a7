#include "platform/qt/JsonDefaultsStore.h"
#include "settings/AppSettings.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>

namespace mirano {
namespace {

QJsonObject readJson(const QString& path) {
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return QJsonDocument::fromJson(f.readAll()).object();
}

void writeRaw(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

TEST(JsonDefaultsStore, WritesThroughTypedWithOwnerOnlyModeAndKeepsUnknownKeys) {
    QTemporaryDir dir;
    const QString path = dir.filePath("mirano/defaults.json");
    QDir().mkpath(dir.filePath("mirano"));
    writeRaw(path, R"({"someFutureKey": [1, 2], "frameRate": 24})");

    JsonDefaultsStore store(path);
    AppSettings settings(store);
    EXPECT_EQ(settings.frameRate(), 24);
    settings.setTriggerKey("K");
    settings.setPipWidth(400);

    const QJsonObject onDisk = readJson(path);
    EXPECT_EQ(onDisk.value("triggerKey").toString(), "K");
    EXPECT_TRUE(onDisk.value("pipWidth").isDouble());
    EXPECT_EQ(onDisk.value("pipWidth").toInt(), 400);
    EXPECT_TRUE(onDisk.value("someFutureKey").isArray()) << "unknown keys survive a write";

    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST(JsonDefaultsStore, CorruptFileIsMovedAsideAndDefaultsApply) {
    QTemporaryDir dir;
    const QString path = dir.filePath("defaults.json");
    writeRaw(path, "{ \"frameRate\": 30, oops");

    JsonDefaultsStore store(path);
    AppSettings settings(store);
    EXPECT_EQ(settings.frameRate(), 10);

    const QStringList aside = QDir(dir.path()).entryList({"defaults.json.corrupt-*"});
    ASSERT_EQ(aside.size(), 1);
    QFile kept(dir.filePath(aside.first()));
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), QByteArray("{ \"frameRate\": 30, oops")) << "the user's bytes are kept";

    settings.setFrameRate(12);
    EXPECT_EQ(readJson(path).value("frameRate").toInt(), 12);
}

TEST(JsonDefaultsStore, AnEditOnDiskIsSeenAndAnnounced) {
    QTemporaryDir dir;
    const QString path = dir.filePath("defaults.json");
    JsonDefaultsStore store(path);
    AppSettings settings(store);
    settings.setFrameRate(10);
    QSignalSpy spy(&store, &DefaultsStore::changed);

    // Replace the file the way editors do: write a new file and rename it over the old one.
    writeRaw(path + ".new", R"({"frameRate": 45, "modifier": "leftOption"})");
    QFile::remove(path);
    QFile::rename(path + ".new", path);

    EXPECT_TRUE(QTest::qWaitFor([&] { return settings.frameRate() == 45; }, 5000));
    EXPECT_EQ(settings.modifier(), ModifierKey::leftOption);
    EXPECT_GE(spy.count(), 2);
}

}  // namespace
}  // namespace mirano
