// The restore tokens kept per application.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QFile>
#include <QTemporaryDir>

#include "platform/wayland/RestoreTokenStore.h"

using namespace mirano::wayland;

TEST(RestoreTokenStore, KeepsOneTokenPerApplicationInAPrivateFile) {
    QTemporaryDir dir;
    RestoreTokenStore store(dir.filePath(QStringLiteral("state/mirano/tokens.json")));
    EXPECT_EQ(store.token(QStringLiteral("a")), QString());
    store.setToken(QStringLiteral("a"), QStringLiteral("token-a"));
    store.setToken(QStringLiteral("b"), QStringLiteral("token-b"));
    store.setToken(QStringLiteral("a"), QStringLiteral("token-a2"));
    // A second store reads what the first wrote.
    RestoreTokenStore reread(store.path());
    EXPECT_EQ(reread.token(QStringLiteral("a")), QStringLiteral("token-a2"));
    EXPECT_EQ(reread.token(QStringLiteral("b")), QStringLiteral("token-b"));
    reread.setToken(QStringLiteral("b"), QString());
    EXPECT_EQ(store.token(QStringLiteral("b")), QString());
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(store.path()).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST(RestoreTokenStore, NeitherReadsNorReplacesWhatIsNotASmallRegularFile) {
    struct Case {
        const char* name;
        std::function<bool(const QString& path)> make;
    };
    const Case cases[] = {
        {"a FIFO",
         [](const QString& path) {
             return mkfifo(QFile::encodeName(path).constData(), 0600) == 0;
         }},
        {"a file larger than the limit",
         [](const QString& path) {
             QFile file(path);
             const QByteArray token =
                 "{\"a\":\"" + QByteArray(RestoreTokenStore::kMaxFileBytes, 'x') + "\"}";
             return file.open(QIODevice::WriteOnly) && file.write(token) == token.size();
         }},
    };
    for (const Case& c : cases) {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("tokens.json"));
        ASSERT_TRUE(c.make(path)) << c.name;
        struct stat before {};
        ::stat(QFile::encodeName(path).constData(), &before);
        RestoreTokenStore store(path);
        EXPECT_EQ(store.token(QStringLiteral("a")), QString()) << c.name;
        store.setToken(QStringLiteral("a"), QStringLiteral("token"));
        struct stat after {};
        ::stat(QFile::encodeName(path).constData(), &after);
        EXPECT_EQ(after.st_ino, before.st_ino) << c.name;
        EXPECT_EQ(after.st_size, before.st_size) << c.name;
    }
}
