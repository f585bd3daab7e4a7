// The X11 backend: the session it names.
#include <gtest/gtest.h>

#include "platform/x11/X11Backend.h"

namespace mirano {
namespace {

TEST(X11BackendX11Test, TheSessionIsTheDisplayWhateverItsScreen) {
    for (const auto& [display, session] : {std::pair(":7", ":7"),
                                           {":7.0", ":7"},
                                           {":7.1", ":7"},
                                           {"unix:7.1", ":7"},
                                           {"host.example:7.2", "host.example:7"},
                                           {"", ""}})
        EXPECT_EQ(x11::X11Backend::sessionOfDisplay(display), session) << display;
}

}  // namespace
}  // namespace mirano
