// A small X client for the integration tests: one window that paints a known picture, reports
// the keys it receives, and obeys commands read from standard input.
//
//   mirano_test_client [--title T] [--class C] [--size WxH] [--pos X,Y] [--pattern P]
//                      [--keys] [--fullscreen] [--animate FPS] [--override-redirect]
//                      [--bare] [--twin]
// --bare: no _NET_WM_PID and no WM_CLASS, as plain Xlib/XCB programs and remote clients.
// --twin: a second window of the same process, 300 pixels to the right; "twin 0x<window>".
// Patterns: quadrants (red, green, blue, white from top-left clockwise), solid:RRGGBB,
//           bars (eight vertical bars of known colours), text (dense black text on white).
// Prints "ready 0x<window>" once mapped, "key <keysym> <state>" for every key press,
// "focus in" when it gets the focus, "button <n> <x> <y>" for clicks.
// --animate-square: each animation frame repaints only a 64 x 64 square (a small change).
// Commands on stdin: "resize W H", "unmap", "map", "pattern P", "quit", "fill RRGGBB X Y W H"
// (a rectangle of one colour over the pattern).
#include <poll.h>
#include <unistd.h>
#include <xcb/xcb.h>
#include <xcb/xcb_icccm.h>
#include <xcb/xcb_keysyms.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <utility>

namespace {

struct Options {
    std::string title = "Mirano test client", wmClass = "mirano-test-client", pattern = "quadrants";
    int width = 640, height = 400, x = 100, y = 100, animateFps = 0;
    bool keys = false, fullscreen = false, overrideRedirect = false, bare = false, twin = false,
         animateSquare = false;
};

xcb_connection_t* conn;
xcb_screen_t* screen;
xcb_window_t window;
xcb_gcontext_t gc;
Options opt;
int frameNo = 0;

xcb_atom_t atom(const char* name) {
    auto r = xcb_intern_atom_reply(conn, xcb_intern_atom(conn, 0, strlen(name), name), nullptr);
    xcb_atom_t a = r ? r->atom : 0;
    free(r);
    return a;
}

void fill(uint32_t rgb, int x, int y, int w, int h) {
    xcb_change_gc(conn, gc, XCB_GC_FOREGROUND, &rgb);
    xcb_rectangle_t r{int16_t(x), int16_t(y), uint16_t(w), uint16_t(h)};
    xcb_poly_fill_rectangle(conn, window, gc, 1, &r);
}

/// Thin one-pixel strokes: what a poor downscale loses or makes shimmer.
void paintText(int w, int h) {
    fill(0xffffff, 0, 0, w, h);
    static xcb_font_t font = 0;
    if (!font) xcb_open_font(conn, font = xcb_generate_id(conn), 5, "fixed");
    const uint32_t v[] = {0x000000, 0xffffff, font};
    xcb_change_gc(conn, gc, XCB_GC_FOREGROUND | XCB_GC_BACKGROUND | XCB_GC_FONT, v);
    const std::string words =
        "The quick brown fox jumps over the lazy dog; PACK MY BOX WITH FIVE DOZEN 0123456789. ";
    const std::string line = words + words + words;
    for (int y = 11, row = 0; y < h; y += 13, ++row) {
        const std::string text = line.substr(std::size_t(row * 7) % words.size(), 200);
        for (int x = 0; x < w; x += 1200)
            xcb_image_text_8(conn, uint8_t(text.size()), window, gc, int16_t(x), int16_t(y),
                             text.c_str());
    }
}

void paint() {
    const int w = opt.width, h = opt.height;
    if (opt.pattern == "quadrants") {
        const uint32_t colours[4] = {0xff0000, 0x00ff00, 0xffffff, 0x0000ff};
        for (int i = 0; i < 4; ++i)
            fill(colours[i], i % 2 * (w / 2), i / 2 * (h / 2), i % 2 ? w - w / 2 : w / 2,
                 i / 2 ? h - h / 2 : h / 2);
    } else if (opt.pattern.rfind("solid:", 0) == 0) {
        fill(uint32_t(std::stoul(opt.pattern.substr(6), nullptr, 16)), 0, 0, w, h);
    } else if (opt.pattern == "bars") {
        const uint32_t colours[8] = {0xffffff, 0xffff00, 0x00ffff, 0x00ff00,
                                     0xff00ff, 0xff0000, 0x0000ff, 0x000000};
        for (int i = 0; i < 8; ++i) fill(colours[i], i * w / 8, 0, (i + 1) * w / 8 - i * w / 8, h);
    } else if (opt.pattern == "text") {
        paintText(w, h);
    }
    // A moving band so that every frame differs.
    if (opt.animateFps > 0)
        fill(0x202020 + (frameNo % 200), (frameNo * 8) % std::max(1, w), 0, 16, h);
    xcb_flush(conn);
}

/// A window of the options' size at (x, opt.y), with WM_CLASS and _NET_WM_PID if asked.
xcb_window_t makeWindow(int x, const std::string& title, bool withClass, bool withPid) {
    const xcb_window_t w = xcb_generate_id(conn);
    const uint32_t values[] = {0x000000, opt.overrideRedirect ? 1u : 0u,
                               XCB_EVENT_MASK_EXPOSURE | XCB_EVENT_MASK_KEY_PRESS |
                                   XCB_EVENT_MASK_STRUCTURE_NOTIFY | XCB_EVENT_MASK_FOCUS_CHANGE |
                                   XCB_EVENT_MASK_BUTTON_PRESS};
    xcb_create_window(conn, XCB_COPY_FROM_PARENT, w, screen->root, x, opt.y, opt.width, opt.height,
                      0, XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual,
                      XCB_CW_BACK_PIXEL | XCB_CW_OVERRIDE_REDIRECT | XCB_CW_EVENT_MASK, values);
    xcb_icccm_set_wm_name(conn, w, XCB_ATOM_STRING, 8, title.size(), title.c_str());
    const std::string cls = opt.wmClass + '\0' + opt.wmClass + '\0';
    if (withClass) xcb_icccm_set_wm_class(conn, w, cls.size(), cls.c_str());
    const uint32_t pid = uint32_t(getpid());
    if (withPid)
        xcb_change_property(conn, XCB_PROP_MODE_REPLACE, w, atom("_NET_WM_PID"), XCB_ATOM_CARDINAL,
                            32, 1, &pid);
    return w;
}

void handleCommand(const std::string& line) {
    std::istringstream in(line);
    std::string cmd, colour;
    in >> cmd;
    uint32_t v[4] = {};
    if (cmd == "resize" && in >> v[0] >> v[1])
        xcb_configure_window(conn, window, XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT, v);
    else if (cmd == "unmap" || cmd == "map")
        (cmd == "map" ? xcb_map_window : xcb_unmap_window)(conn, window);
    else if (cmd == "pattern" && in >> opt.pattern)
        paint();
    else if (cmd == "fill" && in >> colour >> v[0] >> v[1] >> v[2] >> v[3])
        fill(uint32_t(std::stoul(colour, nullptr, 16)), int(v[0]), int(v[1]), int(v[2]), int(v[3]));
    else if (cmd == "quit")
        std::exit(0);
    xcb_flush(conn);
}

void parse(int argc, char** argv) {
    std::string size, pos, animate;
    const std::pair<const char*, std::string*> values[] = {
        {"--title", &opt.title}, {"--class", &opt.wmClass}, {"--pattern", &opt.pattern},
        {"--size", &size},       {"--pos", &pos},           {"--animate", &animate}};
    const std::pair<const char*, bool*> flags[] = {
        {"--keys", &opt.keys}, {"--fullscreen", &opt.fullscreen},
        {"--bare", &opt.bare}, {"--override-redirect", &opt.overrideRedirect},
        {"--twin", &opt.twin}, {"--animate-square", &opt.animateSquare}};
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        for (const auto& [name, flag] : flags) *flag = *flag || a == name;
        for (const auto& [name, value] : values)
            if (a == name && i + 1 < argc) *value = argv[++i];
    }
    sscanf(size.c_str(), "%dx%d", &opt.width, &opt.height);
    sscanf(pos.c_str(), "%d,%d", &opt.x, &opt.y);
    opt.animateFps = std::atoi(animate.c_str());
}

/// Handles the X events that have come; false once the connection is gone.
bool handleEvents(xcb_window_t twin, xcb_key_symbols_t* syms) {
    static bool announced = false;
    while (xcb_generic_event_t* ev = xcb_poll_for_event(conn)) {
        const int type = ev->response_type & 0x7f;
        const auto* map = reinterpret_cast<xcb_map_notify_event_t*>(ev);
        const auto* c = reinterpret_cast<xcb_configure_notify_event_t*>(ev);
        const auto* k = reinterpret_cast<xcb_key_press_event_t*>(ev);
        const auto* b = reinterpret_cast<xcb_button_press_event_t*>(ev);
        if (type == XCB_EXPOSE)
            paint();
        else if (type == XCB_MAP_NOTIFY && map->window == twin)
            printf("twin 0x%x\n", twin);
        else if (type == XCB_MAP_NOTIFY && !std::exchange(announced, true))
            paint(), printf("ready 0x%x\n", window);
        else if (type == XCB_CONFIGURE_NOTIFY && c->window == window &&
                 (c->width != opt.width || c->height != opt.height))
            opt.width = c->width, opt.height = c->height, paint();
        else if (type == XCB_KEY_PRESS && opt.keys)
            printf("key 0x%x %u\n", xcb_key_symbols_get_keysym(syms, k->detail, 0), k->state);
        else if (type == XCB_BUTTON_PRESS)
            printf("button %u %d %d\n", b->detail, b->event_x, b->event_y);
        else if (type == XCB_FOCUS_IN)
            printf("focus in\n");
        free(ev);
    }
    return !xcb_connection_has_error(conn);
}

/// Paints the next animation frame when it is due; the milliseconds until the one after (-1:
/// no animation).
int animate() {
    using Clock = std::chrono::steady_clock;
    static auto lastFrame = Clock::now();
    if (opt.animateFps <= 0) return -1;
    const auto interval = std::chrono::microseconds(1000000 / opt.animateFps);
    const auto due = lastFrame + interval, now = Clock::now();
    if (now < due)
        return int(std::chrono::duration_cast<std::chrono::milliseconds>(due - now).count());
    ++frameNo;
    opt.animateSquare ? fill(0x202020 + (frameNo % 200),
                             (frameNo * 8) % std::max(1, opt.width - 64), opt.height / 2, 64, 64)
                      : paint();
    xcb_flush(conn);
    lastFrame = due > now - interval ? due : now;
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    parse(argc, argv);
    setvbuf(stdout, nullptr, _IOLBF, 0);
    conn = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(conn)) return fprintf(stderr, "cannot connect to X\n"), 1;
    screen = xcb_setup_roots_iterator(xcb_get_setup(conn)).data;
    window = makeWindow(opt.x, opt.title, !opt.bare, !opt.bare);
    // The twin names its process but not its class.
    const xcb_window_t twin =
        opt.twin ? makeWindow(opt.x + 300, opt.title + " twin", false, true) : XCB_NONE;
    if (twin) xcb_map_window(conn, twin);
    xcb_size_hints_t hints{};
    xcb_icccm_size_hints_set_position(&hints, 1, opt.x, opt.y);
    xcb_icccm_set_wm_normal_hints(conn, window, &hints);
    const xcb_atom_t fs = atom("_NET_WM_STATE_FULLSCREEN");
    if (opt.fullscreen)
        xcb_change_property(conn, XCB_PROP_MODE_REPLACE, window, atom("_NET_WM_STATE"),
                            XCB_ATOM_ATOM, 32, 1, &fs);
    xcb_create_gc(conn, gc = xcb_generate_id(conn), window, 0, nullptr);
    xcb_map_window(conn, window);
    xcb_flush(conn);
    xcb_key_symbols_t* syms = xcb_key_symbols_alloc(conn);
    std::string input;
    for (int timeout; handleEvents(twin, syms);) {
        if ((timeout = animate()) == 0) continue;
        pollfd fds[2] = {{xcb_get_file_descriptor(conn), POLLIN, 0}, {0, POLLIN, 0}};
        poll(fds, 2, timeout);
        if (!(fds[1].revents & (POLLIN | POLLHUP))) continue;
        char buf[256];
        const ssize_t n = read(0, buf, sizeof buf);
        if (n == 0) return 0;  // our test went away
        if (n > 0) input.append(buf, n);
        for (size_t pos; (pos = input.find('\n')) != std::string::npos; input.erase(0, pos + 1))
            handleCommand(input.substr(0, pos));
    }
}
