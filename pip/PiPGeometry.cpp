// Panel placement, sizing and zoom arithmetic.
#include "pip/PiPGeometry.h"

#include <algorithm>
#include <cmath>

namespace mirano::PiPGeometry {

namespace {
constexpr double kMinimumZoomFraction = 0.08;
constexpr double kMinimumZoomSize = 48;
constexpr double kWholeWindowTolerance = 0.5;
constexpr double kMinimumReshapeAspect = 0.2;
constexpr double kMaximumReshapeAspect = 5.0;
}  // namespace

QSizeF panelSize(int storedWidth, const QSizeF& sourceSize, const QRectF& visibleArea) {
    double width = storedWidth > kPipWidthFloor ? double(storedWidth) : kDefaultPanelWidth;
    const double aspect = sourceSize.height() / std::max(sourceSize.width(), 1.0);
    if (visibleArea.width() > 0 && visibleArea.height() > 0) {
        const double roomW = visibleArea.width() - 2 * kScreenMargin;
        const double roomH = visibleArea.height() - 2 * kScreenMargin;
        const double fit = std::min(roomW, aspect > 0 ? roomH / aspect : roomW);
        if (fit > 0) width = std::min(width, fit);
    }
    return {width, aspect * width};
}

QRectF placePanel(const QSizeF& size, const QRectF& visibleArea, PiPPosition position) {
    const QRectF v = visibleArea;
    const double left = v.left() + kScreenMargin;
    const double right = v.left() + v.width() - size.width() - kScreenMargin;
    const double top = v.top() + kScreenMargin;
    const double bottom = v.top() + v.height() - size.height() - kScreenMargin;
    switch (position) {
        case PiPPosition::bottomLeft:
            return {QPointF(left, bottom), size};
        case PiPPosition::topRight:
            return {QPointF(right, top), size};
        case PiPPosition::topLeft:
            return {QPointF(left, top), size};
        case PiPPosition::bottomRight:
            break;
    }
    return {QPointF(right, bottom), size};
}

QRectF denormalize(const QRectF& n, const QSizeF& size) {
    return {size.width() * n.x(), size.height() * n.y(), size.width() * n.width(),
            size.height() * n.height()};
}

QRectF narrowTo(const QRectF& current, const QRectF& selection) {
    return denormalize(selection, current.size()).translated(current.topLeft());
}

QRectF zoomAround(const QRectF& s, const QSizeF& window, const QPointF& anchor, double factor) {
    const double sw = window.width(), sh = window.height();
    const double ax = s.x() + anchor.x() * s.width();
    const double ay = s.y() + anchor.y() * s.height();
    const double minW = std::max(sw * kMinimumZoomFraction, kMinimumZoomSize);
    const double minH = std::max(sh * kMinimumZoomFraction, kMinimumZoomSize);
    const double nw = std::min(sw, std::max(s.width() * factor, minW));
    const double nh = std::min(sh, std::max(s.height() * factor, minH));
    // The anchor keeps its place in the shown part.
    const double rx = (ax - s.x()) / std::max(s.width(), 1.0);
    const double ry = (ay - s.y()) / std::max(s.height(), 1.0);
    const double nx = std::max(0.0, std::min(sw - nw, ax - nw * rx));
    const double ny = std::max(0.0, std::min(sh - nh, ay - nh * ry));
    return {nx, ny, nw, nh};
}

bool isWholeWindow(const QRectF& r, const QSizeF& window) {
    return std::abs(r.x()) <= kWholeWindowTolerance && std::abs(r.y()) <= kWholeWindowTolerance &&
           std::abs(r.width() - window.width()) <= kWholeWindowTolerance &&
           std::abs(r.height() - window.height()) <= kWholeWindowTolerance;
}

std::optional<double> reshapedHeight(const QRectF& n, double width) {
    const double aspect = n.width() > 1 ? n.height() / n.width() : n.height();
    if (aspect < kMinimumReshapeAspect || aspect > kMaximumReshapeAspect) return std::nullopt;
    return aspect * width;
}

QRectF keepInside(const QRectF& frame, const QRectF& visibleArea) {
    if (visibleArea.isEmpty() || frame.isEmpty()) return frame;
    const double shrink =
        std::min({1.0, visibleArea.width() / frame.width(), visibleArea.height() / frame.height()});
    QRectF r(frame.topLeft(), frame.size() * shrink);
    r.moveLeft(std::clamp(r.left(), visibleArea.left(), visibleArea.right() - r.width()));
    r.moveTop(std::clamp(r.top(), visibleArea.top(), visibleArea.bottom() - r.height()));
    return r;
}

QRectF centreInside(const QSizeF& size, const QRectF& visibleArea) {
    const QRectF area =
        visibleArea.adjusted(kScreenMargin, kScreenMargin, -kScreenMargin, -kScreenMargin);
    QRectF r = keepInside(QRectF(area.topLeft(), size), area);
    r.moveCenter(area.center());
    return r;
}

std::optional<ScreenInfo> screenHolding(const std::vector<ScreenInfo>& screens,
                                        const QRectF& area) {
    // Half-open, as QRect::contains() is not for a point on the right or bottom edge.
    const auto holds = [c = area.center()](const QRectF& f) {
        return c.x() >= f.left() && c.x() < f.right() && c.y() >= f.top() && c.y() < f.bottom();
    };
    std::optional<ScreenInfo> most;
    double mostArea = 0;
    for (const ScreenInfo& screen : screens) {
        if (holds(screen.frame)) return screen;
        const QRectF shared = screen.frame.intersected(area);
        if (shared.width() * shared.height() > mostArea) {
            mostArea = shared.width() * shared.height();
            most = screen;
        }
    }
    return most;
}

QSize outputPixelSize(const QSizeF& size, double devicePixelRatio) {
    return {static_cast<int>(devicePixelRatio * size.width()),
            static_cast<int>(devicePixelRatio * size.height())};
}

}  // namespace mirano::PiPGeometry
