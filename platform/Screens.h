// The displays and the pointer, in Qt's logical coordinates (top-left origin, y down).
#pragma once

#include <QPointF>
#include <QRectF>
#include <optional>
#include <vector>

namespace mirano {

struct ScreenInfo {
    /// The whole screen.
    QRectF frame;
    /// The part not covered by panels and docks.
    QRectF visibleFrame;
    /// Device pixels per logical pixel.
    double devicePixelRatio = 1.0;
    bool operator==(const ScreenInfo&) const = default;
};

class Screens {
public:
    virtual ~Screens() = default;
    /// All screens, the primary one first.
    virtual std::vector<ScreenInfo> screens() const = 0;
    /// The screen the user works on (the primary one), if any.
    virtual std::optional<ScreenInfo> mainScreen() const = 0;
    /// The pointer's position.
    virtual QPointF pointerPosition() const = 0;
};

}  // namespace mirano
