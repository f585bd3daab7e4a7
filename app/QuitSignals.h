// SIGTERM, SIGINT and SIGHUP end Mirano: in order when the main thread can, at once when not.
#pragma once

#include <QObject>
#include <functional>

namespace mirano {

/// After a quit signal the process gets this long for an orderly end before it exits anyway.
inline constexpr int kQuitGraceMs = 750;

/// Installs the handlers (once per process). On the first signal `quit` runs on the main thread
/// (for `context`'s lifetime), so a running PiP and the key grabs are released; if the process
/// is still alive kQuitGraceMs later (the main thread busy or stuck), or a second signal
/// arrives, it exits at once with status 128 + the signal.
void quitOnSignals(QObject* context, std::function<void()> quit);

}  // namespace mirano
