// A panel window system that records what was applied to each window and answers with scripted
// values.
#pragma once

#include <QList>
#include <QPixmap>
#include <map>

#include "platform/PanelWindowSystem.h"

namespace mirano::fakes {

class FakePanelWindowSystem final : public PanelWindowSystem {
public:
    /// What was last applied to one window.
    struct WindowState {
        bool overlayPanel = false, shapeSet = false, passThrough = false;
        QSizeF minSize, aspect;
        std::optional<QRegion> shape;
        double opacity = 1.0;
        int constraintCalls = 0, moves = 0, activations = 0;
        QList<Qt::Edges> resizes;
    };

    bool hasCompositor() override { return compositor; }
    void configureFloatingPanel(QWindow&) override {}
    void configureOverlayPanel(QWindow& w) override { states_[&w].overlayPanel = true; }
    void setSizeConstraints(QWindow& w, const QSizeF& minSize, const QSizeF& aspect) override {
        auto& s = states_[&w];
        s.minSize = minSize;
        s.aspect = aspect;
        ++s.constraintCalls;
    }
    void setVisibleShape(QWindow& w, const std::optional<QRegion>& shape) override {
        states_[&w].shape = shape;
        states_[&w].shapeSet = true;
    }
    void setOpacity(QWindow& w, double opacity) override { states_[&w].opacity = opacity; }
    void setInputPassThrough(QWindow& w, bool on) override { states_[&w].passThrough = on; }
    void beginMove(QWindow& w) override { ++states_[&w].moves; }
    void beginResize(QWindow& w, Qt::Edges edges) override { states_[&w].resizes << edges; }
    void activate(QWindow& w) override { ++states_[&w].activations; }
    QPoint pointerPosition() override { return pointer; }
    QPixmap grabScreen(const QRect& area) override {
        grabbedAreas << area;
        QPixmap pixmap(area.size().isEmpty() ? QSize(1, 1) : area.size());
        pixmap.fill(Qt::gray);
        return pixmap;
    }

    /// The recorded state of a window (default state when nothing was recorded).
    WindowState state(const QWindow* window) const {
        const auto it = states_.find(window);
        return it == states_.end() ? WindowState{} : it->second;
    }

    // Scripted answers.
    bool compositor = true;
    QPoint pointer{-10000, -10000};

    /// The areas grabScreen was asked for (it answers with grey).
    QList<QRect> grabbedAreas;

private:
    std::map<const QWindow*, WindowState> states_;
};

}  // namespace mirano::fakes
