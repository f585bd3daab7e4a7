// Bounded waits of the tests: for a condition, for an asynchronous operation to complete, for
// a capture to start once the window manager lists the window.
#pragma once

#include <QRectF>
#include <cstdint>
#include <functional>
#include <optional>

#include "platform/Types.h"

namespace mirano {
class StreamManager;
}

namespace mirano::testing {

/// Polls `condition` (processing Qt events meanwhile) until it holds or `timeoutMs` passes.
bool waitUntil(const std::function<bool()>& condition, int timeoutMs = 5000);

/// Runs an asynchronous operation to completion (bounded); returns its error.
std::optional<Error> await(const std::function<void(Completion)>& op);

/// Starts `stream` capturing window `id` (at that size, of that part), again and again (bounded)
/// until the window manager lists the window; returns the last error.
std::optional<Error> startCaptureOnceListed(StreamManager& stream, WindowNumber id,
                                            std::optional<std::int64_t> w = {},
                                            std::optional<std::int64_t> h = {}, QRectF rect = {});

}  // namespace mirano::testing
