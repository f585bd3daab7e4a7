// The program's own platform: the backends it is built with, and the Qt services.
#pragma once

namespace mirano {

class Platform;

/// Starts Platform::real() on the first built-in backend that can run in this session and on
/// the Qt services. Once, at start-up, before anything uses the platform.
Platform& startRealPlatform();

}  // namespace mirano
