// The PiP's logic without widgets: placement, sizing and zoom arithmetic, and the visibility
// flags of a running PiP, every transition as a row.
#include <gtest/gtest.h>

#include <QList>

#include "pip/PiPGeometry.h"
#include "pip/PiPVisibility.h"

namespace mirano {
namespace {

using namespace PiPGeometry;

// A 1440 x 900 screen with a 25-high bar at the top.
const QRectF kVisible(0, 25, 1440, 875);

TEST(PiPGeometry, PanelSizeUsesTheStoredWidthFitsTheScreenAndGoesToItsCornerInsideTheMargin) {
    // The stored width, the source's size, the screen's visible area; the panel's size.
    const std::tuple<int, QSizeF, QRectF, QSizeF, const char*> rows[] = {
        {480, {1600, 900}, kVisible, {480, 270}, "a stored width above the floor is used"},
        {101, {1600, 900}, kVisible, {101, 56.8125}, "just above the floor"},
        {100, {1600, 900}, kVisible, {320, 180}, "the floor itself means the default"},
        {0, {1600, 900}, kVisible, {320, 180}, "nothing stored"},
        {100000, {1600, 900}, kVisible, {1408, 792}, "a huge width shrinks to the screen"},
        {320, {100, 2000}, kVisible, {42.15, 843}, "a tall window shrinks to the height"},
        {320, {0.5, 100}, QRectF(), {320, 32000}, "no screen: nothing to fit; width 0.5 counts 1"},
    };
    for (const auto& [stored, source, visible, panel, why] : rows) {
        const QSizeF off = panelSize(stored, source, visible) - panel;
        EXPECT_LT(std::max(std::abs(off.width()), std::abs(off.height())), 0.01) << why;
    }

    const auto at = [](PiPPosition p) { return placePanel(QSizeF(320, 180), kVisible, p); };
    EXPECT_EQ(
        (QList{at(PiPPosition::topLeft), at(PiPPosition::topRight), at(PiPPosition::bottomLeft),
               at(PiPPosition::bottomRight)}),
        (QList<QRectF>{
            {16, 41, 320, 180}, {1104, 41, 320, 180}, {16, 704, 320, 180}, {1104, 704, 320, 180}}));
    EXPECT_EQ(placePanel(QSizeF(100, 50), QRectF(1440, 0, 1920, 1080), PiPPosition::topLeft),
              QRectF(1456, 16, 100, 50))
        << "a screen right of the primary one";
}

TEST(PiPGeometry, ZoomKeepsThePointUnderThePointerAndStaysInsideTheWindow) {
    const QSizeF window(1000, 500);
    const QRectF whole(0, 0, 1000, 500);
    // The rectangle shown, the pointer's place in it, the factor; the next rectangle. (In around
    // the centre: PiPManagerTest's zoom, to the same 850 x 425.)
    const std::tuple<QRectF, QPointF, double, QRectF, const char*> rows[] = {
        {whole, {0, 0}, 0.85, {0, 0, 850, 425}, "in at the top-left corner"},
        {whole, {1, 1}, 0.85, {150, 75, 850, 425}, "in at the bottom-right corner"},
        {{0, 0, 850, 425}, {0.5, 0.5}, 1 / 0.85, {0, 0, 1000, 500}, "out stops at the window"},
        {{0, 0, 60, 50}, {0.5, 0.5}, 0.85, {0, 1, 80, 48}, "a floor of 8 % or 48 points"},
    };
    for (const auto& [current, anchor, factor, next, why] : rows) {
        const QRectF r = zoomAround(current, window, anchor, factor);
        EXPECT_LT((r.topLeft() - next.topLeft()).manhattanLength() +
                      (r.bottomRight() - next.bottomRight()).manhattanLength(),
                  1e-9)
            << why;
    }
    EXPECT_TRUE(isWholeWindow(QRectF(0.4, -0.4, 1000.5, 499.6), window));
    EXPECT_FALSE(isWholeWindow(QRectF(0.6, 0, 1000, 500), window));
}

// A first selection of the whole window, its rectangle in points and the extreme aspect that
// leaves the panel alone are checked through the controller in PiPManagerTest.
TEST(PiPGeometry, SelectionsComposeAndOnlyModerateAspectsReshapeThePanel) {
    EXPECT_EQ(narrowTo({100, 100, 400, 200}, {0, 0, 0.5, 0.5}), QRectF(100, 100, 200, 100));

    EXPECT_EQ(reshapedHeight(QRectF(0, 0, 400, 200), 320), 160);
    EXPECT_EQ(reshapedHeight(QRectF(0, 0, 100, 500), 320), 1600) << "aspect 5 still reshapes";
    EXPECT_EQ(reshapedHeight(QRectF(0, 0, 1000, 100), 320), std::nullopt) << "aspect 0.1";
    EXPECT_EQ(outputPixelSize(QSizeF(320.6, 180.4), 2), QSize(641, 360));

    // A reshaped panel stays on the screen: shrunk to fit, then moved inside.
    EXPECT_EQ(keepInside(QRectF(1104, 704, 320, 1600), kVisible), QRectF(1104, 25, 175, 875));
    EXPECT_EQ(keepInside(QRectF(1300, 800, 320, 180), kVisible), QRectF(1120, 720, 320, 180));
    EXPECT_EQ(keepInside(QRectF(16, 41, 320, 180), kVisible), QRectF(16, 41, 320, 180));
}

using S = PiPVisibility;
using E = VisibilityEffects;
constexpr auto kPause = E::Stream::pause, kResume = E::Stream::resume;
constexpr auto kStartClose = E::AutoClose::start, kCancelClose = E::AutoClose::cancel;

TEST(PiPVisibility, EveryEventChangesTheFlagsAndSaysWhatToDo) {
    const bool on = true, off = false;
    const S hover{.hovering = true}, hidden{.hidden = true, .opacity = 0.0},
        suppressed{.fullScreenSuppressed = true};
    // A PiP hidden for a minute, and shown again.
    const E hide{.opacity = 0.0, .passThrough = true, .stream = kPause, .autoClose = kStartClose},
        show{.opacity = 1.0, .passThrough = false, .stream = kResume, .autoClose = kCancelClose};
    // What happens: the flags before, the event; the flags after, what to do.
    const std::tuple<const char*, S, S::Event, S, E> rows[] = {
        // clang-format off
        // Hover auto-hide on: enter, tap, tap again, leave.
        {"entering fades the PiP away and pauses it", {}, S::PointerEntered{on},
         {.hovering = true, .opacity = 0.1},
         {.opacity = 0.1, .fade = true, .passThrough = true, .stream = kPause}},
        {"a tap overrides the fade for this hover", {.hovering = true, .opacity = 0.1},
         S::ModifierTapped{on}, {.hovering = true, .autoHideOverride = true}, show},
        {"a second tap fades it to 0.05", {.hovering = true, .autoHideOverride = true},
         S::ModifierTapped{on}, {.hovering = true, .opacity = 0.05},
         {.opacity = 0.05, .fade = true, .passThrough = true, .stream = kPause}},
        {"leaving brings it back and ends the override",
         {.hovering = true, .autoHideOverride = true, .opacity = 0.05}, S::PointerExited{on},
         {},
         {.opacity = 1.0, .fade = true, .passThrough = false, .movable = true, .stream = kResume}},
        {"a tap away from the panel does nothing", {}, S::ModifierTapped{on}, {}, {}},
        {"while suppressed a tap overrides but shows nothing",
         {.hovering = true, .fullScreenSuppressed = true, .opacity = 0.1}, S::ModifierTapped{on},
         {.hovering = true, .autoHideOverride = true, .fullScreenSuppressed = true, .opacity = 0.1},
         {}},
        // Hover auto-hide off: a tap hides, the pointer peeks, a second tap shows.
        {"entering only marks the hover", {}, S::PointerEntered{off}, hover, {}},
        {"leaving makes the panel movable again", hover, S::PointerExited{off},
         {}, {.movable = true}},
        {"a tap hides the PiP for a minute", hover, S::ModifierTapped{off},
         {.hovering = true, .hidden = true, .opacity = 0.0}, hide},
        {"a hide request hides it wherever the pointer is", {}, S::HideToggled{}, hidden, hide},
        {"and a second one shows it", hidden, S::HideToggled{}, {}, show},
        {"the pointer over a hidden PiP shows it faintly", hidden, S::PointerEntered{on},
         {.hovering = true, .hidden = true, .opacity = 0.1}, {.opacity = 0.1, .fade = true}},
        {"leaving a hidden PiP fades it out",
         {.hovering = true, .hidden = true, .opacity = 0.1}, S::PointerExited{off},
         hidden, {.opacity = 0.0, .fade = true, .movable = true}},
        {"a second tap brings it back",
         {.hovering = true, .hidden = true, .autoHideOverride = true, .opacity = 0.1},
         S::ModifierTapped{off}, hover, show},
        // Full screen.
        {"a full-screen focus withdraws the PiP", {}, S::FullScreenChecked{true},
         suppressed, {.shown = false, .stream = kPause}},
        {"the same full-screen state again does nothing", suppressed, S::FullScreenChecked{true},
         suppressed, {}},
        {"leaving full screen shows and resumes", suppressed, S::FullScreenChecked{false}, {},
         {.shown = true, .opacity = 1.0, .passThrough = false, .stream = kResume}},
        {"a hidden PiP stays out of sight and paused",
         {.hidden = true, .fullScreenSuppressed = true, .opacity = 0.0},
         S::FullScreenChecked{false}, hidden, {}},
        {"a paused PiP comes back but stays paused",
         {.paused = true, .fullScreenSuppressed = true}, S::FullScreenChecked{false},
         {.paused = true}, {.shown = true, .opacity = 1.0, .passThrough = false}},
        // Activations.
        {"the mirrored application pauses, also when paused already",
         {.paused = true}, S::CapturedAppActivated{FocusBehavior::pauseRecording},
         {.paused = true}, {.pausedOverlay = true, .stream = kPause}},
        {"or ends the session", hover, S::CapturedAppActivated{FocusBehavior::stopAndClose},
         {}, {.stopSession = true}},
        {"or changes nothing", {}, S::CapturedAppActivated{FocusBehavior::doNothing}, {}, {}},
        {"another application ends the pause", {.paused = true}, S::OtherAppActivated{},
         {}, {.pausedOverlay = false, .stream = kResume}},
        {"but resumes nothing while suppressed",
         {.paused = true, .fullScreenSuppressed = true}, S::OtherAppActivated{},
         suppressed, {.pausedOverlay = false}},
        {"and leaves a PiP that is not paused alone", hidden, S::OtherAppActivated{}, hidden, {}},
        // clang-format on
    };
    for (const auto& [sentence, before, event, after, effects] : rows) {
        const auto [state, todo] = before.next(event);
        EXPECT_TRUE(state == after && todo == effects) << sentence;
    }
}

}  // namespace
}  // namespace mirano
