// The current keyboard layout: which character each key types.
#pragma once

#include <QObject>
#include <QString>
#include <cstdint>

namespace mirano {

class KeyboardLayout : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~KeyboardLayout() override = default;

    /// False when no layout data is available.
    virtual bool isAvailable() const = 0;
    /// The UTF-16 unit typed by the positional key code (0...127) with no modifiers under the
    /// current layout, level 1; 0 when the key types nothing.
    virtual char16_t character(std::uint16_t keyCode) const = 0;

signals:
    /// The layout or the keyboard mapping changed.
    void changed();
};

}  // namespace mirano
