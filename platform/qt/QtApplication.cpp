#include "platform/qt/QtApplication.h"

#include <xcb/xcb.h>

#include <QApplication>
#include <QGuiApplication>
#include <QWidget>
#include <QWindow>
#include <cstring>

namespace mirano {

namespace {

xcb_connection_t* xcbConnection() {
    auto* x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

xcb_atom_t intern(xcb_connection_t* c, const char* name) {
    auto cookie = xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(name)), name);
    xcb_intern_atom_reply_t* r = xcb_intern_atom_reply(c, cookie, nullptr);
    const xcb_atom_t atom = r ? r->atom : XCB_NONE;
    std::free(r);
    return atom;
}

}  // namespace

bool QtApplication::isTitledActivatingWindow(const QWidget* window) {
    if (!window || !window->isWindow()) return false;
    const Qt::WindowFlags flags = window->windowFlags();
    const Qt::WindowType type = window->windowType();
    if (type != Qt::Window && type != Qt::Dialog) return false;
    if (flags.testFlag(Qt::FramelessWindowHint)) return false;
    if (flags.testFlag(Qt::WindowDoesNotAcceptFocus)) return false;
    if (window->testAttribute(Qt::WA_ShowWithoutActivating)) return false;
    return true;
}

void QtApplication::setActivationPolicy(ActivationPolicy policy) {
    policy_ = policy;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (isTitledActivatingWindow(w) && w->isVisible()) applyTaskbarState(w);
}

void QtApplication::applyTaskbarState(QWidget* window) const {
    xcb_connection_t* c = xcbConnection();
    if (!c || xcb_connection_has_error(c)) return;
    const xcb_atom_t state = intern(c, "_NET_WM_STATE");
    const xcb_atom_t skipTaskbar = intern(c, "_NET_WM_STATE_SKIP_TASKBAR");
    if (state == XCB_NONE || skipTaskbar == XCB_NONE) return;
    const auto xid = static_cast<xcb_window_t>(window->winId());
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    // A mapped window's state belongs to the window manager: ask it (EWMH client message).
    xcb_client_message_event_t ev;
    std::memset(&ev, 0, sizeof ev);
    ev.response_type = XCB_CLIENT_MESSAGE;
    ev.format = 32;
    ev.window = xid;
    ev.type = state;
    ev.data.data32[0] = policy_ == ActivationPolicy::accessory ? 1 : 0;  // add : remove
    ev.data.data32[1] = skipTaskbar;
    ev.data.data32[3] = 1;  // source: application
    xcb_send_event(c, 0, screen->root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                   reinterpret_cast<const char*>(&ev));
    xcb_flush(c);
}

QtApplication::QtApplication() {
    if (!qApp) return;
    focusConnection_ = QObject::connect(qApp, &QApplication::focusWindowChanged, qApp, [this] {
        QWidget* active = QApplication::activeWindow();
        if (isTitledActivatingWindow(active)) lastActive_ = active;
    });
}

QtApplication::~QtApplication() { QObject::disconnect(focusConnection_); }

void QtApplication::activate() {
    // Activating several windows at once makes them take the focus from each other, and each
    // activation may be answered by another: one window, and only when none is active.
    if (QApplication::activeWindow()) return;
    QWidget* target = lastActive_ && lastActive_->isVisible() ? lastActive_.data() : nullptr;
    if (!target) {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (isTitledActivatingWindow(w) && w->isVisible()) target = w;
    }
    if (!target) return;
    target->raise();
    target->activateWindow();
}

void QtApplication::terminate() { QCoreApplication::quit(); }

}  // namespace mirano
