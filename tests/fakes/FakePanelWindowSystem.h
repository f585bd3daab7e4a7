// A panel window system that records what was applied to each window and answers with scripted
// values, or passes every call on to a real one.
#pragma once

#include <QList>
#include <QPixmap>
#include <map>

#include "platform/PanelWindowSystem.h"

namespace mirano::fakes {

struct FakePanelWindowSystem final : PanelWindowSystem {
    /// What was last applied to one window.
    struct WindowState {
        bool overlayPanel = false, shapeSet = false, passThrough = false;
        std::optional<QRegion> shape;
        double opacity = 1.0;
        int constraintCalls = 0, moves = 0, activations = 0;
        QList<Qt::Edges> resizes;
    };

    /// Records only, or also passes every call on to `real`, which then gives the answers.
    explicit FakePanelWindowSystem(PanelWindowSystem* real = nullptr) : real_(real) {}

    bool hasCompositor() override { return real_ ? real_->hasCompositor() : compositor; }
    void configureFloatingPanel(QWindow& w) override {
        if (real_) real_->configureFloatingPanel(w);
    }
    void configureOverlayPanel(QWindow& w) override {
        states_[&w].overlayPanel = true;
        if (real_) real_->configureOverlayPanel(w);
    }
    void setSizeConstraints(QWindow& w, const QSizeF& minSize, const QSizeF& aspect) override {
        ++states_[&w].constraintCalls;
        if (real_) real_->setSizeConstraints(w, minSize, aspect);
    }
    void setVisibleShape(QWindow& w, const std::optional<QRegion>& shape) override {
        states_[&w].shape = shape;
        states_[&w].shapeSet = true;
        if (real_) real_->setVisibleShape(w, shape);
    }
    void setOpacity(QWindow& w, double opacity) override {
        states_[&w].opacity = opacity;
        if (real_) real_->setOpacity(w, opacity);
    }
    bool showsWindowOpacity() override {
        return real_ ? real_->showsWindowOpacity() : compositor && windowOpacity;
    }
    void setInputPassThrough(QWindow& w, bool on) override {
        states_[&w].passThrough = on;
        if (real_) real_->setInputPassThrough(w, on);
    }
    void beginMove(QWindow& w) override {
        ++states_[&w].moves;
        if (real_) real_->beginMove(w);
    }
    void beginResize(QWindow& w, Qt::Edges edges) override {
        states_[&w].resizes << edges;
        if (real_) real_->beginResize(w, edges);
    }
    void activate(QWindow& w) override {
        ++states_[&w].activations;
        if (real_) real_->activate(w);
    }
    QPoint pointerPosition() override { return real_ ? real_->pointerPosition() : pointer; }
    bool seesPointerEverywhere() override {
        return real_ ? real_->seesPointerEverywhere() : pointerEverywhere;
    }
    QPixmap grabScreen(const QRect& area) override {
        grabbedAreas << area;
        if (real_) return real_->grabScreen(area);
        QPixmap pixmap(area.size().isEmpty() ? QSize(1, 1) : area.size());
        pixmap.fill(Qt::gray);
        return pixmap;
    }

    /// The recorded state of a window (default state when nothing was recorded).
    WindowState state(const QWindow* window) const {
        const auto it = states_.find(window);
        return it == states_.end() ? WindowState{} : it->second;
    }

    // Scripted answers (without a real window system). With a compositor, `windowOpacity`: window
    // opacity is shown (not on Wayland).
    bool compositor = true, windowOpacity = true, pointerEverywhere = true;
    QPoint pointer{-10000, -10000};

    /// The areas grabScreen was asked for (it answers with grey).
    QList<QRect> grabbedAreas;

private:
    PanelWindowSystem* real_;
    std::map<const QWindow*, WindowState> states_;
};

}  // namespace mirano::fakes
