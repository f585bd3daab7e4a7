// The main thread's X connection and its property-change event source.
#include "platform/x11/X11Desktop.h"

#include <xcb/res.h>

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QSocketNotifier>
#include <algorithm>

#include "platform/x11/Extensions.h"
#include "platform/x11/WindowManagerMessage.h"

namespace mirano::x11 {

namespace {
// Source indication "pager": the request is made on the user's behalf, like a taskbar click.
constexpr std::uint32_t kSourceIndicationPager = 2;
constexpr const char* kClockProperty = "_MIRANO_TIMESTAMP";
}  // namespace

X11Desktop::X11Desktop(const char* display, QObject* parent) : QObject(parent), conn_(display) {
    if (!conn_.isValid()) return;
    conn_.atoms().preload({"_NET_ACTIVE_WINDOW", "_NET_WM_PID", "_NET_WM_STATE",
                           "_NET_WM_STATE_FULLSCREEN", "_NET_WM_STATE_HIDDEN",
                           "_NET_CURRENT_DESKTOP", kKeyPanelProperty, kClockProperty});
    const std::uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(conn_.get(), conn_.root(), XCB_CW_EVENT_MASK, &mask);
    clock_ = xcb_generate_id(conn_.get());
    xcb_create_window(conn_.get(), 0, clock_, conn_.root(), -1, -1, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, &mask);
    hasResourceExtension_ = extensionData(conn_.get(), Extension::res) != nullptr;

    notifier_ = std::make_unique<QSocketNotifier>(xcb_get_file_descriptor(conn_.get()),
                                                  QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, &X11Desktop::processEvents);
    // Round trips can pull events into XCB's queue without the socket waking us up again.
    if (auto* dispatcher = QAbstractEventDispatcher::instance())
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this,
                &X11Desktop::processEvents);
    watchActiveWindow();
    conn_.flush();
}

X11Desktop::~X11Desktop() {
    if (conn_.isValid() && clock_ != XCB_NONE) xcb_destroy_window(conn_.get(), clock_);
}

void X11Desktop::processEvents() {
    if (!conn_.isValid()) {
        if (notifier_) notifier_->setEnabled(false);
        return;
    }
    bool active = false, desktop = false, state = false;
    const auto handle = [&](const xcb_generic_event_t& ev) {
        if ((ev.response_type & 0x7f) != XCB_PROPERTY_NOTIFY) return;  // errors included
        const auto& p = reinterpret_cast<const xcb_property_notify_event_t&>(ev);
        if (p.window == conn_.root()) {
            if (p.atom == conn_.atom("_NET_ACTIVE_WINDOW")) active = true;
            if (p.atom == conn_.atom("_NET_CURRENT_DESKTOP")) desktop = true;
        } else if (p.window == watched_ && p.atom == conn_.atom("_NET_WM_STATE")) {
            state = true;
        }
    };
    for (; !pending_.empty(); pending_.pop_front()) handle(*pending_.front());
    while (xcb_generic_event_t* raw = xcb_poll_for_event(conn_.get()))
        handle(*XReply<xcb_generic_event_t>(raw));
    if (active) watchActiveWindow();
    if (active) emit activeWindowChanged();
    if (desktop) emit currentDesktopChanged();
    if (state) emit activeWindowStateChanged();
}

void X11Desktop::watchActiveWindow() {
    const xcb_window_t w = activeWindow();
    if (w == watched_) return;
    // Selecting on a window of another client sets only our own event mask on it.
    const std::uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    const std::uint32_t none = 0;
    if (watched_ != XCB_NONE)
        xcb_change_window_attributes(conn_.get(), watched_, XCB_CW_EVENT_MASK, &none);
    watched_ = w;
    if (w != XCB_NONE) xcb_change_window_attributes(conn_.get(), w, XCB_CW_EVENT_MASK, &mask);
    conn_.flush();
}

xcb_window_t X11Desktop::activeWindow() {
    const auto v =
        conn_.property32(conn_.root(), conn_.atom("_NET_ACTIVE_WINDOW"), XCB_ATOM_WINDOW);
    return v.empty() ? xcb_window_t{XCB_NONE} : v.front();
}

std::optional<ProcessID> X11Desktop::windowPid(xcb_window_t window) {
    if (window == XCB_NONE) return std::nullopt;
    const auto v = conn_.property32(window, conn_.atom("_NET_WM_PID"), XCB_ATOM_CARDINAL);
    if (!v.empty() && v.front() != 0) return static_cast<ProcessID>(v.front());
    return resourceClientPid(window);
}

std::optional<ProcessID> X11Desktop::resourceClientPid(xcb_window_t window) {
    if (!hasResourceExtension_ || !conn_.isValid()) return std::nullopt;
    // Asks the server which local process opened the connection that created the window.
    xcb_res_client_id_spec_t spec{window, XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID};
    auto r = reply(xcb_res_query_client_ids_reply(
        conn_.get(), xcb_res_query_client_ids(conn_.get(), 1, &spec), nullptr));
    if (!r) return std::nullopt;
    for (auto it = xcb_res_query_client_ids_ids_iterator(r.get()); it.rem;
         xcb_res_client_id_value_next(&it)) {
        if (!(it.data->spec.mask & XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID)) continue;
        if (xcb_res_client_id_value_value_length(it.data) < 1) continue;
        const std::uint32_t pid = *xcb_res_client_id_value_value(it.data);
        if (pid != 0) return static_cast<ProcessID>(pid);
    }
    return std::nullopt;
}

bool X11Desktop::hasState(xcb_window_t window, const char* stateAtom) {
    if (window == XCB_NONE) return false;
    const auto states = conn_.property32(window, conn_.atom("_NET_WM_STATE"), XCB_ATOM_ATOM);
    const xcb_atom_t wanted = conn_.atom(stateAtom);
    return wanted != XCB_ATOM_NONE &&
           std::find(states.begin(), states.end(), wanted) != states.end();
}

std::optional<QString> X11Desktop::wmClassClass(xcb_window_t window) {
    const auto bytes = conn_.propertyBytes(window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING);
    if (!bytes) return std::nullopt;
    // "instance\0class\0"
    const QList<QByteArray> parts = bytes->split('\0');
    if (parts.size() < 2 || parts[1].isEmpty()) return std::nullopt;
    return QString::fromLocal8Bit(parts[1]);
}

bool X11Desktop::isKeyPanel(xcb_window_t window) {
    if (window == XCB_NONE) return false;
    return !conn_.property32(window, conn_.atom(kKeyPanelProperty), XCB_ATOM_CARDINAL).empty();
}

std::optional<QRect> X11Desktop::geometryInRoot(xcb_window_t window) {
    if (!conn_.isValid() || window == XCB_NONE) return std::nullopt;
    auto geo =
        reply(xcb_get_geometry_reply(conn_.get(), xcb_get_geometry(conn_.get(), window), nullptr));
    if (!geo) return std::nullopt;
    auto tr = reply(xcb_translate_coordinates_reply(
        conn_.get(), xcb_translate_coordinates(conn_.get(), window, conn_.root(), 0, 0), nullptr));
    if (!tr) return std::nullopt;
    return QRect(tr->dst_x, tr->dst_y, geo->width, geo->height);
}

xcb_timestamp_t X11Desktop::serverTime() {
    if (!conn_.isValid() || clock_ == XCB_NONE) return XCB_CURRENT_TIME;
    const xcb_atom_t property = conn_.atom(kClockProperty);
    xcb_change_property(conn_.get(), XCB_PROP_MODE_APPEND, clock_, property, XCB_ATOM_STRING, 8, 0,
                        nullptr);
    conn_.flush();
    // The server answers at once; other events met on the way are kept for processEvents().
    while (xcb_generic_event_t* raw = xcb_wait_for_event(conn_.get())) {
        XReply<xcb_generic_event_t> ev(raw);
        if ((ev->response_type & 0x7f) == XCB_PROPERTY_NOTIFY) {
            const auto* p = reinterpret_cast<const xcb_property_notify_event_t*>(ev.get());
            if (p->window == clock_ && p->atom == property) return p->time;
        }
        pending_.push_back(std::move(ev));
    }
    return XCB_CURRENT_TIME;  // the connection failed while waiting
}

void X11Desktop::requestActivate(xcb_window_t window) {
    if (!conn_.isValid() || window == XCB_NONE) return;
    if (sendToWindowManager(conn_.get(), window, conn_.atom("_NET_ACTIVE_WINDOW"),
                            {kSourceIndicationPager, serverTime(), XCB_NONE, 0, 0}))
        conn_.flush();
}

void X11Desktop::mapWindow(xcb_window_t window) {
    if (!conn_.isValid() || window == XCB_NONE) return;
    xcb_map_window(conn_.get(), window);
    conn_.flush();
}

}  // namespace mirano::x11
