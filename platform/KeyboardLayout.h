// The current keyboard layout: which key types a character.
#pragma once

#include <QObject>
#include <QString>
#include <cstdint>
#include <optional>

namespace mirano {

class KeyboardLayout : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~KeyboardLayout() override = default;

    /// The evdev code of the key that types `character` (compared in lower case) with no
    /// modifiers under the current layout; the lowest code wins. Nothing when no key does, or
    /// when there is no layout data.
    virtual std::optional<std::uint16_t> keyFor(const QString& character) const = 0;

signals:
    /// The layout or the keyboard mapping changed.
    void changed();
};

}  // namespace mirano
