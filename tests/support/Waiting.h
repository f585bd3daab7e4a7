// Bounded waits of the tests beyond waitUntil (X11Session.h): for an asynchronous operation to
// complete, for a capture to start once the window manager lists the window.
#pragma once

#include <gtest/gtest.h>

#include <QRectF>
#include <cstdint>
#include <functional>
#include <optional>

#include "capture/StreamManager.h"
#include "platform/Types.h"
#include "tests/support/X11Session.h"

namespace mirano::testing {

/// Runs an asynchronous operation to completion (bounded); returns its error.
inline std::optional<Error> await(const std::function<void(Completion)>& op) {
    bool done = false;
    std::optional<Error> error;
    op([&](std::optional<Error> e) { done = true, error = e; });
    EXPECT_TRUE(waitUntil([&] { return done; }, 20000)) << "operation did not complete";
    return error;
}

/// Starts `stream` capturing window `id` (at that size, of that part), again and again (bounded)
/// until the window manager lists the window; returns the last error, which fails the test.
inline std::optional<Error> startCaptureOnceListed(StreamManager& stream, WindowNumber id,
                                                   std::optional<std::int64_t> w = {},
                                                   std::optional<std::int64_t> h = {},
                                                   QRectF rect = {}) {
    std::optional<Error> error;
    waitUntil([&] {
        return !(error = await([&](Completion d) { stream.startCapture(id, w, h, rect, d); }));
    });
    EXPECT_FALSE(error) << "start failed: " << qPrintable(error->description);
    return error;
}

}  // namespace mirano::testing
