// Our own Wayland connection: read when the socket is readable, dispatch, report failure once.
#include "platform/wayland/client/WaylandConnection.h"

#include <poll.h>
#include <wayland-client.h>

#include <cstring>

namespace mirano::wayland {

WaylandConnection::WaylandConnection(const char* name, QObject* parent) : QObject(parent) {
    display_ = wl_display_connect(name);
    if (!display_) return;
    notifier_ =
        std::make_unique<QSocketNotifier>(wl_display_get_fd(display_), QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this,
            &WaylandConnection::readAndDispatch);
}

WaylandConnection::~WaylandConnection() {
    notifier_.reset();
    if (display_) wl_display_disconnect(display_);
}

bool WaylandConnection::roundtrip() {
    if (!isValid()) return false;
    const bool ok = wl_display_roundtrip(display_) >= 0;
    checkError();
    return ok && isValid();
}

void WaylandConnection::flush() {
    if (isValid()) wl_display_flush(display_);
}

void WaylandConnection::readAndDispatch() {
    if (!isValid()) return;
    while (wl_display_prepare_read(display_) != 0) wl_display_dispatch_pending(display_);
    // A roundtrip since the notifier fired may have read the data already: read only what is
    // there, never wait for more.
    pollfd fd{wl_display_get_fd(display_), POLLIN, 0};
    if (poll(&fd, 1, 0) > 0) {  // data, or a hang-up that read_events reports
        if (wl_display_read_events(display_) == 0) wl_display_dispatch_pending(display_);
    } else {
        wl_display_cancel_read(display_);
    }
    wl_display_flush(display_);
    checkError();
}

void WaylandConnection::checkError() {
    const int error = wl_display_get_error(display_);
    if (error == 0 || failed_) return;
    failed_ = true;
    notifier_->setEnabled(false);
    lostLog_(QStringLiteral("Wayland connection lost: %1")
                 .arg(QString::fromLocal8Bit(std::strerror(error))));
    emit lost();
}

}  // namespace mirano::wayland
