// The Wayland keyboard layout: the trigger key follows the layout names xkbcommon is given.
#include <gtest/gtest.h>
#include <linux/input-event-codes.h>

#include "platform/wayland/XkbNamesLayout.h"

using mirano::wayland::XkbNamesLayout;

TEST(XkbNamesLayoutTest, TheKeyThatTypesACharacterFollowsTheLayoutNamedInTheEnvironment) {
    struct Row {
        const char* layout;
        const char* character;
        std::optional<std::uint16_t> key;
    };
    const Row rows[] = {
        {"us", "p", KEY_P},       {"us", "Z", KEY_Z},         {"de", "z", KEY_Y},
        {"de", "y", KEY_Z},       {"fr", "a", KEY_Q},         {"us", "é", std::nullopt},
        {"us", "", std::nullopt}, {"us", "pq", std::nullopt},
    };
    const QByteArray saved = qgetenv("XKB_DEFAULT_LAYOUT");
    for (const Row& row : rows) {
        qputenv("XKB_DEFAULT_LAYOUT", row.layout);
        EXPECT_EQ(XkbNamesLayout().keyFor(QString::fromUtf8(row.character)), row.key)
            << row.layout << " " << row.character;
    }
    qputenv("XKB_DEFAULT_LAYOUT", saved);
}
