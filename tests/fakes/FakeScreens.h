// Scripted screens and pointer position.
#pragma once

#include "platform/Screens.h"

namespace mirano::fakes {

/// Tests emit changed() themselves after changing `all`.
struct FakeScreens final : Screens {
    std::vector<ScreenInfo> all;
    QPointF pointer;

    /// One screen of that frame, visible frame and pixel ratio.
    void setSingle(const QRectF& f, const QRectF& visible, double ratio) {
        all = {{f, visible, ratio}};
    }
    std::vector<ScreenInfo> screens() const override { return all; }
    QPointF pointerPosition() const override { return pointer; }
};

}  // namespace mirano::fakes
