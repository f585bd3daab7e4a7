// The visibility flags of a running PiP: every transition as a row, without widgets.
#include <gtest/gtest.h>

#include "pip/PiPVisibility.h"

namespace mirano {
namespace {

using S = PiPVisibility;
using E = VisibilityEffects;
constexpr auto kPause = E::Stream::pause, kResume = E::Stream::resume;
constexpr auto kStartClose = E::AutoClose::start, kCancelClose = E::AutoClose::cancel;

S::Event entered(bool autoHide) { return S::PointerEntered{autoHide}; }
S::Event exited(bool autoHide) { return S::PointerExited{autoHide}; }
S::Event tap(bool autoHide) { return S::ModifierTapped{autoHide}; }
S::Event fullScreen(bool full) { return S::FullScreenChecked{full}; }
S::Event captured(FocusBehavior b) { return S::CapturedAppActivated{b}; }
S::Event other() { return S::OtherAppActivated{}; }
S::Event hideRequest() { return S::HideToggled{}; }

TEST(PiPVisibility, EveryEventChangesTheFlagsAndSaysWhatToDo) {
    const bool on = true, off = false;
    const S hover{.hovering = true};
    // What happens: the flags before, the event; the flags after, what to do.
    const std::tuple<const char*, S, S::Event, S, E> rows[] = {
        // clang-format off
        // Hover auto-hide on: enter, tap, tap again, leave.
        {"entering fades the PiP away and pauses it", {}, entered(on),
         {.hovering = true, .opacity = 0.1},
         {.opacity = 0.1, .fade = true, .passThrough = true, .stream = kPause}},
        {"a tap overrides the fade for this hover", {.hovering = true, .opacity = 0.1}, tap(on),
         {.hovering = true, .autoHideOverride = true},
         {.opacity = 1.0, .passThrough = false, .stream = kResume, .autoClose = kCancelClose}},
        {"a second tap fades it to 0.05", {.hovering = true, .autoHideOverride = true}, tap(on),
         {.hovering = true, .opacity = 0.05},
         {.opacity = 0.05, .fade = true, .passThrough = true, .stream = kPause}},
        {"leaving brings it back and ends the override",
         {.hovering = true, .autoHideOverride = true, .opacity = 0.05}, exited(on),
         {},
         {.opacity = 1.0, .fade = true, .passThrough = false, .movable = true, .stream = kResume}},
        {"a tap away from the panel does nothing", {}, tap(on),
         {}, {}},
        {"while suppressed a tap overrides but shows nothing",
         {.hovering = true, .fullScreenSuppressed = true, .opacity = 0.1}, tap(on),
         {.hovering = true, .autoHideOverride = true, .fullScreenSuppressed = true, .opacity = 0.1},
         {}},
        // Hover auto-hide off: a tap hides, the pointer peeks, a second tap shows.
        {"entering only marks the hover", {}, entered(off),
         hover, {}},
        {"leaving makes the panel movable again", hover, exited(off),
         {}, {.movable = true}},
        {"a tap hides the PiP for a minute", hover, tap(off),
         {.hovering = true, .hidden = true, .opacity = 0.0},
         {.opacity = 0.0, .passThrough = true, .stream = kPause, .autoClose = kStartClose}},
        {"a hide request hides it wherever the pointer is", {}, hideRequest(),
         {.hidden = true, .opacity = 0.0},
         {.opacity = 0.0, .passThrough = true, .stream = kPause, .autoClose = kStartClose}},
        {"and a second one shows it", {.hidden = true, .opacity = 0.0}, hideRequest(),
         {}, {.opacity = 1.0, .passThrough = false, .stream = kResume, .autoClose = kCancelClose}},
        {"the pointer over a hidden PiP shows it faintly",
         {.hidden = true, .opacity = 0.0}, entered(on),
         {.hovering = true, .hidden = true, .opacity = 0.1}, {.opacity = 0.1, .fade = true}},
        {"leaving a hidden PiP fades it out",
         {.hovering = true, .hidden = true, .opacity = 0.1}, exited(off),
         {.hidden = true, .opacity = 0.0}, {.opacity = 0.0, .fade = true, .movable = true}},
        {"a second tap brings it back",
         {.hovering = true, .hidden = true, .autoHideOverride = true, .opacity = 0.1}, tap(off),
         hover,
         {.opacity = 1.0, .passThrough = false, .stream = kResume, .autoClose = kCancelClose}},
        // Full screen.
        {"a full-screen focus withdraws the PiP", {}, fullScreen(true),
         {.fullScreenSuppressed = true}, {.shown = false, .stream = kPause}},
        {"the same full-screen state again does nothing",
         {.fullScreenSuppressed = true}, fullScreen(true),
         {.fullScreenSuppressed = true}, {}},
        {"leaving full screen shows and resumes", {.fullScreenSuppressed = true}, fullScreen(false),
         {}, {.shown = true, .opacity = 1.0, .passThrough = false, .stream = kResume}},
        {"a hidden PiP stays out of sight and paused",
         {.hidden = true, .fullScreenSuppressed = true, .opacity = 0.0}, fullScreen(false),
         {.hidden = true, .opacity = 0.0}, {}},
        {"a paused PiP comes back but stays paused",
         {.paused = true, .fullScreenSuppressed = true}, fullScreen(false),
         {.paused = true}, {.shown = true, .opacity = 1.0, .passThrough = false}},
        // Activations.
        {"the mirrored application pauses, also when paused already",
         {.paused = true}, captured(FocusBehavior::pauseRecording),
         {.paused = true}, {.pausedOverlay = true, .stream = kPause}},
        {"or ends the session", hover, captured(FocusBehavior::stopAndClose),
         {}, {.stopSession = true}},
        {"or changes nothing", {}, captured(FocusBehavior::doNothing),
         {}, {}},
        {"another application ends the pause", {.paused = true}, other(),
         {}, {.pausedOverlay = false, .stream = kResume}},
        {"but resumes nothing while suppressed",
         {.paused = true, .fullScreenSuppressed = true}, other(),
         {.fullScreenSuppressed = true}, {.pausedOverlay = false}},
        {"and leaves a PiP that is not paused alone", {.hidden = true, .opacity = 0.0}, other(),
         {.hidden = true, .opacity = 0.0}, {}},
        // clang-format on
    };
    for (const auto& [sentence, before, event, after, effects] : rows) {
        SCOPED_TRACE(sentence);
        const auto [state, todo] = before.next(event);
        EXPECT_TRUE(state == after);
        EXPECT_TRUE(todo == effects);
    }
}

}  // namespace
}  // namespace mirano
