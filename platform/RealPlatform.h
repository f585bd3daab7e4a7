// The program's own platform: the backends it is built with, and the Qt services.
#pragma once

namespace mirano {

class Platform;

/// Starts Platform::real() on the first built-in backend that can run in this session (or the
/// one $MIRANO_BACKEND names) and on the Qt services. Once, at start-up, before anything uses the
/// platform. Null, after a line on standard error, when $MIRANO_BACKEND names no built-in backend.
Platform* startRealPlatform();

}  // namespace mirano
