// Small vocabulary shared by the program logic and the platform services.
#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <optional>

namespace mirano {

/// A top-level client window of another application (on X11 its window id); 0 means "no
/// window".
using WindowNumber = std::uint32_t;
/// A process id.
using ProcessID = std::int32_t;

/// A failure reported by an asynchronous operation, with a human-readable description.
struct Error {
    QString description;
    bool operator==(const Error&) const = default;
};

/// Completion of an asynchronous operation: called once, on the main thread, with the error
/// or with nothing on success.
using Completion = std::function<void(std::optional<Error>)>;

}  // namespace mirano
