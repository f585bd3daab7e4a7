// The transitions of a running PiP's visibility flags.
#include "pip/PiPVisibility.h"

namespace mirano {

namespace {
constexpr double kHoverOpacity = 0.1;
constexpr double kOverrideCancelledOpacity = 0.05;

using V = PiPVisibility;
using Stream = VisibilityEffects::Stream;
using AutoClose = VisibilityEffects::AutoClose;

/// Builds one transition: the state and effects change together.
class Step {
public:
    explicit Step(const PiPVisibility& from) : t_{from, {}} {}

    PiPVisibility& state() { return t_.state; }
    VisibilityEffects& effects() { return t_.effects; }

    void setOpacity(double opacity, bool fade) {
        t_.state.opacity = opacity;
        t_.effects.opacity = opacity;
        t_.effects.fade = fade;
    }
    /// Faded out and click-through, the stream paused.
    void fadeAway(double opacity) {
        setOpacity(opacity, true);
        t_.effects.passThrough = true;
        t_.effects.stream = Stream::pause;
    }
    /// Fully shown and interactive, the stream running; nothing while suppressed.
    void show() {
        if (t_.state.fullScreenSuppressed) return;
        t_.effects.autoClose = AutoClose::cancel;
        setOpacity(1.0, false);
        t_.effects.passThrough = false;
        t_.effects.stream = Stream::resume;
    }
    /// Invisible and click-through, the stream paused, closing in a minute.
    void hide() {
        setOpacity(0.0, false);
        t_.effects.passThrough = true;
        t_.effects.stream = Stream::pause;
        t_.effects.autoClose = AutoClose::start;
    }
    PiPVisibility::Transition done() const { return t_; }

private:
    PiPVisibility::Transition t_;
};

void apply(Step& step, const V::PointerEntered& event) {
    PiPVisibility& s = step.state();
    s.hovering = true;
    if (s.hidden)
        step.setOpacity(kHoverOpacity, true);  // a faint preview of the hidden PiP
    else if (event.autoHideOnHover && !s.autoHideOverride)
        step.fadeAway(kHoverOpacity);
}

void apply(Step& step, const V::PointerExited& event) {
    PiPVisibility& s = step.state();
    s.hovering = false;
    s.autoHideOverride = false;  // the override lasts one hover
    step.effects().movable = true;
    if (s.hidden) {
        step.setOpacity(0.0, true);
    } else if (event.autoHideOnHover) {
        step.setOpacity(1.0, true);
        step.effects().passThrough = false;
        step.effects().stream = Stream::resume;
    }
}

void apply(Step& step, const V::HideToggled&) {
    PiPVisibility& s = step.state();
    s.hidden = !s.hidden;
    if (s.hidden) return step.hide();
    s.autoHideOverride = false;
    step.show();
}

void apply(Step& step, const V::ModifierTapped& event) {
    PiPVisibility& s = step.state();
    if (!s.hovering) return;
    if (event.autoHideOnHover) {
        s.autoHideOverride = !s.autoHideOverride;
        if (s.autoHideOverride)
            step.show();
        else
            step.fadeAway(kOverrideCancelledOpacity);
    } else {
        apply(step, V::HideToggled{});
    }
}

void apply(Step& step, const V::FullScreenChecked& event) {
    PiPVisibility& s = step.state();
    const bool full = event.fullScreen;
    if (full == s.fullScreenSuppressed) return;  // only changes are acted on
    s.fullScreenSuppressed = full;
    if (full) {
        step.effects().shown = false;
        step.effects().stream = Stream::pause;
        return;
    }
    // A hidden PiP stays out of sight; a paused one stays paused.
    if (!s.hidden) {
        step.effects().shown = true;
        step.setOpacity(1.0, false);
        step.effects().passThrough = false;
    }
    if (!s.paused && !s.hidden) step.effects().stream = Stream::resume;
}

void apply(Step& step, const V::CapturedAppActivated& event) {
    switch (event.focusBehavior) {
        case FocusBehavior::pauseRecording:
            // Also when paused already: the overlay is shown once, the pause asked again.
            step.state().paused = true;
            step.effects().pausedOverlay = true;
            step.effects().stream = Stream::pause;
            break;
        case FocusBehavior::stopAndClose:
            step.state() = PiPVisibility{};
            step.effects().stopSession = true;
            break;
        case FocusBehavior::doNothing:
            break;
    }
}

void apply(Step& step, const V::OtherAppActivated&) {
    PiPVisibility& s = step.state();
    if (!s.paused) return;
    s.paused = false;
    step.effects().pausedOverlay = false;
    if (!s.fullScreenSuppressed) step.effects().stream = Stream::resume;
}

}  // namespace

PiPVisibility::Transition PiPVisibility::next(const Event& event) const {
    Step step(*this);
    std::visit([&step](const auto& e) { apply(step, e); }, event);
    return step.done();
}

}  // namespace mirano
