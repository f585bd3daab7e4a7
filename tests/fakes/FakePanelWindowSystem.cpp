#include "tests/fakes/FakePanelWindowSystem.h"

#include <QColor>

namespace mirano::fakes {

void FakePanelWindowSystem::configureFloatingPanel(QWindow& window) {
    states_[&window].floatingPanel = true;
    calls << "configureFloatingPanel";
}

void FakePanelWindowSystem::configureOverlayPanel(QWindow& window) {
    states_[&window].overlayPanel = true;
    calls << "configureOverlayPanel";
}

void FakePanelWindowSystem::setSizeConstraints(QWindow& window, const QSizeF& minSize,
                                               const QSizeF& aspect) {
    auto& s = states_[&window];
    s.minSize = minSize;
    s.aspect = aspect;
    ++s.constraintCalls;
    calls << "setSizeConstraints";
}

void FakePanelWindowSystem::setVisibleShape(QWindow& window, const std::optional<QRegion>& shape) {
    auto& s = states_[&window];
    s.shape = shape;
    s.shapeSet = true;
    calls << (shape ? (shape->isEmpty() ? "setVisibleShape empty" : "setVisibleShape region")
                    : "setVisibleShape none");
}

void FakePanelWindowSystem::setOpacity(QWindow& window, double opacity) {
    states_[&window].opacity = opacity;
    calls << QStringLiteral("setOpacity %1").arg(opacity);
}

void FakePanelWindowSystem::setInputPassThrough(QWindow& window, bool passThrough) {
    states_[&window].passThrough = passThrough;
    calls << QStringLiteral("setInputPassThrough %1").arg(passThrough ? 1 : 0);
}

void FakePanelWindowSystem::beginMove(QWindow& window) {
    ++states_[&window].moves;
    calls << "beginMove";
}

void FakePanelWindowSystem::beginResize(QWindow& window, Qt::Edges edges) {
    states_[&window].resizes << edges;
    calls << QStringLiteral("beginResize %1").arg(int(edges));
}

void FakePanelWindowSystem::activate(QWindow& window) {
    ++states_[&window].activations;
    calls << "activate";
}

QPixmap FakePanelWindowSystem::grabScreen(const QRect& area) {
    grabbedAreas << area;
    calls << "grabScreen";
    QPixmap pixmap(area.size().isEmpty() ? QSize(1, 1) : area.size());
    pixmap.fill(screenColour);
    return pixmap;
}

FakePanelWindowSystem::WindowState FakePanelWindowSystem::state(const QWindow* window) const {
    auto it = states_.find(window);
    return it == states_.end() ? WindowState{} : it->second;
}

}  // namespace mirano::fakes
