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
#include "tests/support/ScopedEnv.h"

namespace mirano {
namespace {

using testing::scopedEnv;

/// The entry's bytes, or what stands in its place.
QByteArray bytesOf(const QString& path) {
    if (QFileInfo(path).isDir()) return "<folder>";
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<none>");
}

TEST(XdgAutostartTest, EntryGoesUnderAnAbsoluteXdgConfigHomeElseUnderDotConfig) {
    const auto home = scopedEnv("HOME", QStringLiteral("/home/u"));
    const struct {
        std::optional<QString> configHome;
        QString folder;
    } rows[] = {{"/cfg", "/cfg"},
                {std::nullopt, "/home/u/.config"},
                {"", "/home/u/.config"},
                {"relative/cfg", "/home/u/.config"}};
    for (const auto& row : rows) {
        const auto env = scopedEnv("XDG_CONFIG_HOME", row.configHome);
        EXPECT_EQ(XdgAutostart::defaultPath(), row.folder + "/autostart/mirano.desktop");
        EXPECT_EQ(JsonDefaultsStore::defaultPath(), row.folder + "/mirano/defaults.json");
    }
}

TEST(XdgAutostartTest, ExecStartsTheProgramQuotedAsDesktopEntriesNeed) {
    const struct {
        QString program, exec;
    } rows[] = {{"/usr/bin/mirano", "Exec=/usr/bin/mirano\n"},
                {"/opt/my apps/mirano", "Exec=\"/opt/my apps/mirano\"\n"},
                {"/opt/a\"b$c/100%/mirano", R"(Exec="/opt/a\\"b\\$c/100%%/mirano")"
                                            "\n"},
                {"/opt/line\nbreak/mirano", "Exec=mirano\n"}};
    for (const auto& row : rows)
        EXPECT_TRUE(XdgAutostart::entryText(row.program).contains(row.exec.toUtf8()))
            << XdgAutostart::entryText(row.program).constData();

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
    const QByteArray none = "<none>", folder = "<folder>";
    const struct {
        const char* sentence;
        QByteArray before;
        bool turnOn;
        bool refused, onAfter;
        QByteArray after;
    } rows[] = {
        {"none, on: ours is written", none, true, false, true, ours},
        {"none, off: nothing to do", none, false, false, false, none},
        {"ours, on: nothing to do", ours, true, false, true, ours},
        {"ours, off: removed", ours, false, false, false, none},
        {"ours that a startup editor hid, on: written afresh", ours + "Hidden=true\n", true, false,
         true, ours},
        {"someone else's, off: left as it is", others, false, true, true, others},
        {"someone else's that GNOME turned off, on: left as it is",
         others + "X-GNOME-Autostart-enabled=false\n", true, true, false,
         others + "X-GNOME-Autostart-enabled=false\n"},
        {"Hidden in another group counts for nothing", others + "[Desktop Action a]\nHidden=true\n",
         false, true, true, others + "[Desktop Action a]\nHidden=true\n"},
        {"a folder in its place, on: refused", folder, true, true, false, folder},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.sentence);
        QTemporaryDir dir;
        const QString path = dir.filePath("autostart/mirano.desktop");
        QDir().mkpath(dir.filePath("autostart"));
        if (row.before == folder) {
            ASSERT_TRUE(QDir().mkpath(path));
        } else if (row.before != none) {
            QFile f(path);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(row.before) == row.before.size());
        }
        XdgAutostart autostart(path, "/usr/bin/mirano");
        EXPECT_EQ(!autostart.setEnabled(row.turnOn).isEmpty(), row.refused);
        EXPECT_EQ(autostart.isEnabled(), row.onAfter);
        EXPECT_EQ(bytesOf(path), row.after);
    }
}

}  // namespace
}  // namespace mirano
