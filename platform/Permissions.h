// Accessibility trust and capture permission.
#pragma once

namespace mirano {

class Permissions {
public:
    virtual ~Permissions() = default;
    /// Whether the global keyboard tap and window access can work.
    virtual bool isAccessibilityTrusted() = 0;
    /// Checks trust and, when `prompt` is true and trust is missing, tells the user what is
    /// missing.
    virtual bool isAccessibilityTrustedWithPrompt(bool prompt) = 0;
    /// Whether windows can be captured.
    virtual bool preflightScreenCaptureAccess() = 0;
    /// Asks for capture access (tells the user what is missing); returns the current answer.
    virtual bool requestScreenCaptureAccess() = 0;
};

}  // namespace mirano
