// A keyboard layout the test controls: the US layout's unshifted characters by default.
#pragma once

#include <QHash>

#include "platform/KeyboardLayout.h"

namespace mirano::fakes {

class FakeKeyboardLayout final : public KeyboardLayout {
    Q_OBJECT
public:
    FakeKeyboardLayout();

    std::optional<std::uint16_t> keyFor(const QString& character) const override;

    /// German (QWERTZ): y and z swapped, ß where - was, - where / was (emits changed()).
    void useGerman();
    /// Sets which key types `character` (lower case), or none (emits changed()).
    void setKey(const QString& character, std::optional<std::uint16_t> key);

private:
    QHash<QString, std::uint16_t> keys_;
};

}  // namespace mirano::fakes
