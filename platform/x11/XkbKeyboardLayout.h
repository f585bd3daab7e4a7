// The current keyboard layout of the X display, read with xkbcommon and followed as it changes.
#pragma once

#include <map>
#include <memory>

#include "platform/KeyboardLayout.h"
#include "platform/x11/XConnection.h"

class QSocketNotifier;
struct xkb_context;
struct xkb_keymap;

namespace mirano::x11 {

/// Keymap of the core keyboard, current group, level 1, on its own connection. Lives on the
/// main thread; XKB notifications arrive through a socket notifier on that connection.
class XkbKeyboardLayout final : public KeyboardLayout {
    Q_OBJECT
public:
    /// Connects to `display` ($DISPLAY when null). Unavailable when that fails.
    explicit XkbKeyboardLayout(const char* display = nullptr, QObject* parent = nullptr);
    ~XkbKeyboardLayout() override;

    /// False when no layout data is available.
    bool isAvailable() const { return available_; }
    std::optional<std::uint16_t> keyFor(const QString& character) const override;

    /// The group (layout index) in use.
    int group() const { return group_; }

private:
    bool setUp();
    /// Reloads the keymap and the group; returns whether the table changed.
    bool reload();
    void fillTable();
    void readEvents();

    std::unique_ptr<XConnection> conn_;
    std::unique_ptr<QSocketNotifier> notifier_;
    xkb_context* context_ = nullptr;
    xkb_keymap* keymap_ = nullptr;
    std::int32_t deviceId_ = -1;
    std::uint8_t xkbEventBase_ = 0;
    int group_ = 0;
    bool available_ = false;
    /// Character typed at level 1 of the current group -> the lowest evdev code typing it.
    std::map<char16_t, std::uint16_t> table_;
};

}  // namespace mirano::x11
