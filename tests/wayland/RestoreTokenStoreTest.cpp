// The restore tokens kept per application.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QTemporaryDir>

#include "platform/wayland/portal/RestoreTokenStore.h"
#include "tests/support/Files.h"

using namespace mirano::wayland;

TEST(RestoreTokenStore, KeepsOneTokenPerApplicationInAPrivateFile) {
    QTemporaryDir dir;
    RestoreTokenStore store(dir.filePath("state/mirano/tokens.json"));
    EXPECT_EQ(store.token("a"), QString());
    store.setToken("a", "token-a");
    store.setToken("b", "token-b");
    store.setToken("a", "token-a2");
    // A second store reads what the first wrote.
    RestoreTokenStore reread(store.path());
    EXPECT_EQ(std::pair(reread.token("a"), reread.token("b")),
              std::pair(QString("token-a2"), QString("token-b")));
    reread.setToken("b", QString());
    EXPECT_EQ(store.token("b"), QString());
    using P = QFileDevice::Permission;
    EXPECT_EQ(QFile::permissions(store.path()),
              P::ReadOwner | P::WriteOwner | P::ReadUser | P::WriteUser);
}

// What is not a small regular file is neither read nor replaced; a file that is not the user's
// alone is set aside, and the desktop is asked afresh.
TEST(RestoreTokenStore, AFileNotSmallRegularAndTheUsersAloneIsNeitherReadNorKept) {
    const std::pair<const char*, std::function<bool(const QString& path)>> cases[] = {
        {"a FIFO", [](const QString& path) { return mkfifo(QFile::encodeName(path), 0600) == 0; }},
        {"a file larger than the limit",
         [](const QString& path) {
             const QByteArray token = QByteArray(RestoreTokenStore::kMaxFileBytes, 'x');
             return mirano::testing::writeFile(path, "{\"a\":\"" + token + "\"}") &&
                    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
         }},
    };
    for (const auto& [name, make] : cases) {
        QTemporaryDir dir;
        const QString path = dir.filePath("tokens.json");
        ASSERT_TRUE(make(path)) << name;
        struct stat before = {}, after = {};
        ::stat(QFile::encodeName(path).constData(), &before);
        RestoreTokenStore store(path);
        EXPECT_EQ(store.token("a"), QString()) << name;
        store.setToken("a", "token");
        ::stat(QFile::encodeName(path).constData(), &after);
        EXPECT_EQ(std::pair(after.st_ino, after.st_size), std::pair(before.st_ino, before.st_size))
            << name;
    }

    const std::pair<const char*, std::function<bool(const QString& path)>> untrusted[] = {
        {"mode 0644",
         [](const QString& path) { return ::chmod(QFile::encodeName(path), 0644) == 0; }},
        // Only root can give a file away.
        {"another owner",
         [](const QString& path) {
             return ::geteuid() == 0 && ::chown(QFile::encodeName(path), 65534, 65534) == 0;
         }},
    };
    for (const auto& [name, spoil] : untrusted) {
        QTemporaryDir dir;
        RestoreTokenStore store(dir.filePath("tokens.json"));
        store.setToken("a", "planted");
        if (!spoil(store.path())) continue;
        EXPECT_EQ(store.token("a"), QString()) << name;
        EXPECT_TRUE(QFile::exists(store.path() + ".untrusted")) << name;
        // A fresh, private file takes the new token.
        store.setToken("a", "fresh");
        EXPECT_EQ(RestoreTokenStore(store.path()).token("a"), QString("fresh")) << name;
    }
}
