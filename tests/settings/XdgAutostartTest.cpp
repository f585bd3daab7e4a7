// Starting at login: where the entry goes, what it says, and which entries Mirano may change.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <optional>

#include "platform/qt/JsonDefaultsStore.h"
#include "platform/qt/XdgAutostart.h"
#include "tests/support/Files.h"
#include "tests/support/ScopedEnv.h"

namespace mirano {
namespace {

using namespace testing;

TEST(XdgAutostartTest, EntryGoesUnderXdgConfigHomeAndStartsTheProgramQuotedAsEntriesNeed) {
    const QString dotConfig = QDir::homePath() + "/.config";
    const std::pair<std::optional<QString>, QString> homes[] = {
        {"/cfg", "/cfg"}, {std::nullopt, dotConfig}, {"", dotConfig}, {"relative", dotConfig}};
    for (const auto& [configHome, folder] : homes) {
        const auto env = scopedEnv("XDG_CONFIG_HOME", configHome);
        EXPECT_EQ(XdgAutostart::defaultPath(), folder + "/autostart/mirano.desktop");
        EXPECT_EQ(JsonDefaultsStore::defaultPath(), folder + "/mirano/defaults.json");
    }

    const std::pair<QString, QString> execs[] = {
        {"/usr/bin/mirano", "/usr/bin/mirano"},
        {"/opt/my apps/mirano", "\"/opt/my apps/mirano\""},
        {"/opt/a\"b$c/100%/mirano", R"("/opt/a\\"b\\$c/100%%/mirano")"},
        {"/opt/line\nbreak/mirano", "mirano"}};
    for (const auto& [program, exec] : execs)
        EXPECT_TRUE(XdgAutostart::entryText(program).contains(("\nExec=" + exec + "\n").toUtf8()))
            << qPrintable(program);

    // The binary that PATH finds is started by name, any other by its path.
    const QString self = QCoreApplication::applicationFilePath();
    QTemporaryDir bin;
    ASSERT_TRUE(QFile::link(self, bin.filePath("mirano")));
    EXPECT_EQ(XdgAutostart::runningProgram(), self);
    const auto path = scopedEnv("PATH", bin.path());
    EXPECT_EQ(XdgAutostart::runningProgram(), "mirano");
}

TEST(XdgAutostartTest, WritesAndRemovesOnlyItsOwnEntry) {
    const QByteArray ours = XdgAutostart::entryText("/usr/bin/mirano");
    const QByteArray others = "[Desktop Entry]\nType=Application\nExec=mirano --settings\n";
    const QByteArray othersOff = others + "X-GNOME-Autostart-enabled=false\n";
    const QByteArray none = "<none>", folder = "<folder>";
    // What happens: the file before, whether it is turned on; whether that is refused, whether it
    // is on after, the file after.
    const std::tuple<const char*, QByteArray, bool, bool, bool, QByteArray> rows[] = {
        {"none, on: ours is written", none, true, false, true, ours},
        {"ours, on: nothing to do", ours, true, false, true, ours},
        {"ours, off: removed", ours, false, false, false, none},
        {"ours that a startup editor hid, on: written afresh", ours + "Hidden=true\n", true, false,
         true, ours},
        {"someone else's, off: left as it is", others, false, true, true, others},
        {"someone else's that GNOME turned off, on: left", othersOff, true, true, false, othersOff},
        {"a folder in its place, on: refused", folder, true, true, false, folder},
    };
    for (const auto& [sentence, before, turnOn, refused, onAfter, after] : rows) {
        SCOPED_TRACE(sentence);
        QTemporaryDir dir;
        const QString path = dir.filePath("autostart/mirano.desktop");
        QDir().mkpath(before == folder ? path : dir.filePath("autostart"));
        ASSERT_TRUE(before == none || before == folder || writeFile(path, before));
        XdgAutostart autostart(path, "/usr/bin/mirano");
        EXPECT_EQ(!autostart.setEnabled(turnOn).isEmpty(), refused);
        EXPECT_EQ(autostart.isEnabled(), onAfter);
        EXPECT_EQ(QFileInfo(path).isDir() ? folder : readFile(path, none), after);
    }
}

}  // namespace
}  // namespace mirano
