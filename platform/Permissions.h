// Whether Mirano may watch the keyboard and other windows, and capture them.
#pragma once

namespace mirano {

class Permissions {
public:
    virtual ~Permissions() = default;
    /// Whether the global keyboard tap and window access can work; when `tellUser` is true and
    /// access is missing, tells the user what is missing.
    virtual bool checkKeyboardAccess(bool tellUser) = 0;
    /// Whether windows can be captured.
    virtual bool canCapture() = 0;
    /// Asks for capture access (tells the user what is missing); returns the current answer.
    virtual bool askForCapture() = 0;
};

}  // namespace mirano
