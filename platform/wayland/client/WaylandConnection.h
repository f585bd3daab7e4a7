// A Wayland connection of our own, dispatched on the main thread by Qt's event loop.
#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <memory>

#include "platform/Log.h"

struct wl_display;

namespace mirano::wayland {

/// Connects to $WAYLAND_DISPLAY (or `name`) independently of Qt, so that our objects and their
/// events never mix with Qt's. Events are dispatched on the main thread as they arrive.
class WaylandConnection : public QObject {
    Q_OBJECT
public:
    /// Connects; isValid() tells whether it worked.
    explicit WaylandConnection(const char* name = nullptr, QObject* parent = nullptr);
    ~WaylandConnection() override;

    bool isValid() const { return display_ != nullptr && !failed_; }
    wl_display* display() const { return display_; }

    /// Sends what is queued and waits (bounded by the compositor) until it has answered
    /// everything, dispatching the events meanwhile. False once the connection failed.
    bool roundtrip();
    /// Sends the requests made since the last flush.
    void flush();

signals:
    /// The compositor closed the connection or reported a protocol error.
    void lost();

private:
    void readAndDispatch();
    void checkError();

    wl_display* display_ = nullptr;
    std::unique_ptr<QSocketNotifier> notifier_;
    bool failed_ = false;
    LogOnce lostLog_;
};

}  // namespace mirano::wayland
