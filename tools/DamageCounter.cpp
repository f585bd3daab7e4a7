// mirano-damage-counter: counts how often a window (or any window inside it) is drawn to, as a
// measure of the frames that reach it. A tool for the benchmarks, not part of the program.
//
//   mirano-damage-counter <window-id> <seconds>
// Prints "frames=N": the most updates seen on one of the windows.
#include <poll.h>
#include <xcb/damage.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <vector>

#include "platform/x11/Extensions.h"
#include "platform/x11/XConnection.h"

using namespace mirano;

namespace {

void collect(xcb_connection_t* c, xcb_window_t w, std::vector<xcb_window_t>& out) {
    out.push_back(w);
    auto tree = x11::reply(xcb_query_tree_reply(c, xcb_query_tree(c, w), nullptr));
    if (!tree) return;
    const xcb_window_t* children = xcb_query_tree_children(tree.get());
    for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i)
        collect(c, children[i], out);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: mirano-damage-counter <window-id> <seconds>\n");
        return 2;
    }
    const auto window = static_cast<xcb_window_t>(std::strtoul(argv[1], nullptr, 0));
    const double seconds = std::atof(argv[2]);
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c)) return 1;
    const xcb_query_extension_reply_t* ext = x11::extensionData(c, x11::Extension::damage);
    if (!ext || !x11::hasExtension(c, x11::Extension::damage)) return 1;
    std::vector<xcb_window_t> windows;
    collect(c, window, windows);
    std::map<xcb_damage_damage_t, long> counts;
    for (xcb_window_t w : windows) {
        const xcb_damage_damage_t d = xcb_generate_id(c);
        xcb_damage_create(c, d, w, XCB_DAMAGE_REPORT_LEVEL_NON_EMPTY);
        counts[d] = 0;
    }
    xcb_flush(c);
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < end) {
        while (auto e = x11::reply(xcb_poll_for_event(c))) {
            if ((e->response_type & 0x7f) == ext->first_event + XCB_DAMAGE_NOTIFY) {
                const auto* n = reinterpret_cast<xcb_damage_notify_event_t*>(e.get());
                // Re-arm at once: the next drawing is the next update.
                xcb_damage_subtract(c, n->damage, XCB_NONE, XCB_NONE);
                ++counts[n->damage];
            }
        }
        xcb_flush(c);
        if (xcb_connection_has_error(c)) break;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              end - std::chrono::steady_clock::now())
                              .count();
        pollfd fd{xcb_get_file_descriptor(c), POLLIN, 0};
        poll(&fd, 1, int(std::clamp<long long>(left, 0, 100)));
    }
    long most = 0;
    for (const auto& [d, n] : counts) most = std::max(most, n);
    std::printf("frames=%ld\n", most);
    xcb_disconnect(c);
    return 0;
}
