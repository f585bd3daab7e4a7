// A keyboard layout the test controls: the US layout's unshifted characters by default.
#pragma once

#include <linux/input-event-codes.h>

#include <QHash>

#include "platform/KeyboardLayout.h"

namespace mirano::fakes {

class FakeKeyboardLayout final : public KeyboardLayout {
    Q_OBJECT
public:
    FakeKeyboardLayout() {
        // Each row of the US keyboard is a run of consecutive evdev codes.
        const std::pair<const char*, std::uint16_t> rows[] = {{"1234567890-=", KEY_1},
                                                              {"qwertyuiop[]", KEY_Q},
                                                              {"asdfghjkl;'`", KEY_A},
                                                              {"\\zxcvbnm,./", KEY_BACKSLASH}};
        for (const auto& [chars, first] : rows) {
            const QString row = QString::fromLatin1(chars);
            for (int i = 0; i < row.size(); ++i)
                keys_.insert(row.mid(i, 1), static_cast<std::uint16_t>(first + i));
        }
        keys_.insert(QStringLiteral("\b"), KEY_BACKSPACE);
    }

    std::optional<std::uint16_t> keyFor(const QString& character) const override {
        const auto it = keys_.constFind(character.toLower());
        return it == keys_.constEnd() ? std::nullopt : std::optional(*it);
    }

    /// German (QWERTZ): y and z swapped, ß where - was, - where / was (emits changed()).
    void useGerman() {
        keys_.insert(QStringLiteral("y"), KEY_Z);
        keys_.insert(QStringLiteral("z"), KEY_Y);
        keys_.insert(QStringLiteral("ß"), KEY_MINUS);
        keys_.insert(QStringLiteral("-"), KEY_SLASH);
        keys_.remove(QStringLiteral("/"));
        emit changed();
    }
    /// Sets which key types `character` (lower case) (emits changed()).
    void setKey(const QString& character, std::uint16_t key) {
        keys_.insert(character, key);
        emit changed();
    }

private:
    QHash<QString, std::uint16_t> keys_;
};

}  // namespace mirano::fakes
