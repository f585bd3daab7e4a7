// Small vocabulary shared by the program logic and the platform services.
#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <optional>

namespace mirano {

/// The window server's 32-bit window number; 0 means "no window".
using WindowNumber = std::uint32_t;
/// A process id.
using ProcessID = std::int32_t;

/// An accessibility element for one window of another process (on X11: the client window).
/// Opaque to the logic; 0 is no element.
struct WindowElement {
    std::uint64_t handle = 0;
    bool operator==(const WindowElement&) const = default;
};

/// A failure reported by an asynchronous operation, with a human-readable description.
struct Error {
    QString description;
    /// Identifies the kind of error for callers that must tell them apart (empty: generic).
    QString domain;
    bool operator==(const Error&) const = default;
};

/// Completion of an asynchronous operation: called once, on the main thread, with the error
/// or with nothing on success.
using Completion = std::function<void(std::optional<Error>)>;

}  // namespace mirano
