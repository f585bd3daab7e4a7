// The Wayland keyboard layout: the trigger key follows the layout names xkbcommon is given.
#include <gtest/gtest.h>
#include <linux/input-event-codes.h>

#include "platform/wayland/XkbNamesLayout.h"

using mirano::wayland::XkbNamesLayout;

TEST(XkbNamesLayoutTest, TheKeyThatTypesACharacterFollowsTheLayoutNamedInTheEnvironment) {
    // The layout, the character; the key that types it.
    const std::tuple<const char*, const char*, std::optional<std::uint16_t>> rows[] = {
        {"us", "p", KEY_P},       {"us", "Z", KEY_Z},         {"de", "z", KEY_Y},
        {"de", "y", KEY_Z},       {"fr", "a", KEY_Q},         {"us", "é", std::nullopt},
        {"us", "", std::nullopt}, {"us", "pq", std::nullopt},
    };
    const QByteArray saved = qgetenv("XKB_DEFAULT_LAYOUT");
    for (const auto& [layout, character, key] : rows) {
        qputenv("XKB_DEFAULT_LAYOUT", layout);
        EXPECT_EQ(XkbNamesLayout().keyFor(QString(character)), key) << layout << " " << character;
    }
    qputenv("XKB_DEFAULT_LAYOUT", saved);
}
