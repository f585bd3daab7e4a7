// The aspect arithmetic every path that draws a captured picture shares.
#include <gtest/gtest.h>

#include "platform/AspectFit.h"

using namespace mirano;

namespace {

TEST(AspectFit, PicturesFitOnBarsOrFillCutEvenlyAndAViewShowsWhatItsFramesShow) {
    using M = AspectMode;
    // What: where the picture is placed; where it must be.
    const std::tuple<const char*, AspectPlacement, AspectPlacement> rows[] = {
        {"a wide picture fits with bars above and below",
         placeAspect({0, 0, 200, 100}, {400, 400}, M::fit),
         {{0, 0, 200, 100}, {0, 100, 400, 200}}},
        {"a tall picture fits with bars left and right",
         placeAspect({0, 0, 80, 200}, {80, 100}, M::fit),
         {{0, 0, 80, 200}, {20, 0, 40, 100}}},
        {"a wide picture fills, its sides cut",
         placeAspect({0, 0, 200, 100}, {400, 400}, M::fill),
         {{50, 0, 100, 100}, {0, 0, 400, 400}}},
        {"a tall picture fills, top and bottom cut",
         placeAspect({0, 0, 100, 400}, {200, 200}, M::fill),
         {{0, 150, 100, 100}, {0, 0, 200, 200}}},
        {"a part of a picture is cut around its own centre",
         placeAspect({100, 50, 200, 100}, {100, 100}, M::fill),
         {{150, 50, 100, 100}, {0, 0, 100, 100}}},
        {"the same aspect only scales",
         placeAspect({10, 20, 160, 100}, {320, 200}, M::fill),
         {{10, 20, 160, 100}, {0, 0, 320, 200}}},
        {"nothing shows in an empty area", placeAspect({0, 0, 200, 100}, {0, 100}, M::fit), {}},
        {"nothing shows of an empty picture", placeAspect({0, 0, 0, 100}, {100, 100}, M::fill), {}},
        {"frames of the view's aspect keep their bars",
         placeThroughFrame({0, 0, 640, 200}, {640, 400}, {320, 200}),
         {{0, 0, 640, 200}, {0, 50, 320, 100}}},
        {"a frame wider than the view loses its sides",
         placeThroughFrame({0, 0, 320, 200}, {320, 200}, {200, 200}),
         {{60, 0, 200, 200}, {0, 0, 200, 200}}},
        {"bars and a cut at once",
         placeThroughFrame({0, 0, 400, 100}, {400, 200}, {200, 200}),
         {{100, 0, 200, 100}, {0, 50, 200, 100}}},
        {"a zoomed part keeps its place in the window",
         placeThroughFrame({320, 100, 320, 100}, {320, 200}, {640, 400}),
         {{320, 100, 320, 100}, {0, 100, 640, 200}}},
    };
    for (const auto& [what, placed, expected] : rows) EXPECT_EQ(placed, expected) << what;
}

}  // namespace
