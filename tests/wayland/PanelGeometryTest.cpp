// Where a layer-surface panel is anchored, and how a drag moves or resizes it.
#include <gtest/gtest.h>

#include "platform/wayland/panel/LayerPlacement.h"
#include "platform/wayland/panel/PanelDrag.h"

using namespace mirano::wayland;

constexpr std::uint32_t kTop = 1, kBottom = 2, kLeft = 4, kRight = 8;
const QRect kScreen(0, 0, 1280, 720);

TEST(PanelGeometryTest, AnchoredToTheNearestCornerWithItsDistancesAsMargins) {
    // What: the panel's window, its screen; where it is anchored.
    // clang-format off
    const std::tuple<const char*, QRect, QRect, LayerPlacement> rows[] = {
        {"bottom right, 16 from both edges", QRect(944, 524, 320, 180), kScreen,
         {kBottom | kRight, QMargins(0, 0, 16, 16)}},
        {"top left", QRect(16, 16, 320, 180), kScreen, {kTop | kLeft, QMargins(16, 16, 0, 0)}},
        {"top right", QRect(944, 30, 320, 180), kScreen, {kTop | kRight, QMargins(0, 30, 16, 0)}},
        {"bottom left", QRect(10, 500, 320, 180), kScreen,
         {kBottom | kLeft, QMargins(10, 0, 0, 40)}},
        {"a centre exactly in the middle counts as top left", QRect(480, 270, 320, 180), kScreen,
         {kTop | kLeft, QMargins(480, 270, 0, 0)}},
        {"a second screen: margins from its own edges", QRect(1300, 600, 200, 100),
         QRect(1280, 0, 800, 720), {kBottom | kLeft, QMargins(20, 0, 0, 20)}},
        {"partly outside: a negative margin", QRect(1200, 650, 320, 180), kScreen,
         {kBottom | kRight, QMargins(0, 0, -240, -110)}},
    };
    // clang-format on
    for (const auto& [what, window, screen, placement] : rows)
        EXPECT_EQ(placeInNearestCorner(window, screen), placement) << what;

    // Out of sight: the same corner, pushed past both of its edges.
    const LayerPlacement hidden = placeOutOfSight(QRect(944, 524, 320, 180), kScreen);
    EXPECT_EQ(hidden, (LayerPlacement{kBottom | kRight, QMargins(0, 0, -321, -181)}));
    EXPECT_EQ(placeOutOfSight({16, 16, 320, 180}, kScreen).margins, QMargins(-321, -181, 0, 0));
}

TEST(PanelGeometryTest, DragMovesOrResizesFromTheDraggedEdges) {
    const QRect start(100, 100, 320, 180);
    const QSize min(100, 50);
    const QSizeF none, wide(16, 9);
    // What: the edges dragged, how far, the aspect kept; the panel's frame.
    const std::tuple<const char*, Qt::Edges, QPoint, QSizeF, QRect> rows[] = {
        {"no edges: a move", {}, QPoint(-30, 40), none, QRect(70, 140, 320, 180)},
        {"right edge: wider, left stays", Qt::RightEdge, QPoint(40, 7), none,
         QRect(100, 100, 360, 180)},
        {"left edge: the right edge stays", Qt::LeftEdge, QPoint(40, 0), none,
         QRect(140, 100, 280, 180)},
        {"top-left corner", Qt::TopEdge | Qt::LeftEdge, QPoint(-10, -20), none,
         QRect(90, 80, 330, 200)},
        {"not below the minimum size", Qt::BottomEdge | Qt::RightEdge, QPoint(-300, -300), none,
         QRect(100, 100, 100, 50)},
        {"aspect: a side edge sets the height", Qt::RightEdge, QPoint(160, 0), wide,
         QRect(100, 100, 480, 270)},
        {"aspect: the bottom edge sets the width", Qt::BottomEdge, QPoint(0, 90), wide,
         QRect(100, 100, 480, 270)},
        {"aspect: a top-left corner keeps the bottom-right corner", Qt::TopEdge | Qt::LeftEdge,
         QPoint(-160, 0), wide, QRect(-60, 10, 480, 270)},
    };
    for (const auto& [what, edges, delta, aspect, frame] : rows)
        EXPECT_EQ(draggedFrame(start, edges, delta, min, aspect), frame) << what;
}
