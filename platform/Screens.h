// The displays and the pointer, in screen points (origin bottom-left of the primary screen).
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
    /// Device pixels per point.
    double backingScaleFactor = 1.0;
    bool operator==(const ScreenInfo&) const = default;
};

class Screens {
public:
    virtual ~Screens() = default;
    /// All screens, in the system's order.
    virtual std::vector<ScreenInfo> screens() const = 0;
    /// The screen the user works on, if any.
    virtual std::optional<ScreenInfo> mainScreen() const = 0;
    /// The pointer's location in screen points.
    virtual QPointF mouseLocation() const = 0;
};

}  // namespace mirano
