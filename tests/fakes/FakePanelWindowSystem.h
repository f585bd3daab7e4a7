// A panel window system that records every call and answers with scripted values.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <map>

#include "platform/PanelWindowSystem.h"

namespace mirano::fakes {

class FakePanelWindowSystem final : public PanelWindowSystem {
public:
    /// What was last applied to one window.
    struct WindowState {
        bool floatingPanel = false;
        bool overlayPanel = false;
        QSizeF minSize;
        QSizeF aspect;
        int constraintCalls = 0;
        std::optional<QRegion> shape;
        bool shapeSet = false;
        bool passThrough = false;
        double opacity = 1.0;
        int moves = 0;
        QList<Qt::Edges> resizes;
        int activations = 0;
    };

    bool hasCompositor() override { return compositor; }
    void configureFloatingPanel(QWindow& window) override;
    void configureOverlayPanel(QWindow& window) override;
    void setSizeConstraints(QWindow& window, const QSizeF& minSize, const QSizeF& aspect) override;
    void setVisibleShape(QWindow& window, const std::optional<QRegion>& shape) override;
    void setOpacity(QWindow& window, double opacity) override;
    void setInputPassThrough(QWindow& window, bool passThrough) override;
    void beginMove(QWindow& window) override;
    void beginResize(QWindow& window, Qt::Edges edges) override;
    void activate(QWindow& window) override;
    QPoint pointerPosition() override { return pointer; }
    QPixmap grabScreen(const QRect& area) override;

    /// The recorded state of a window (default state when nothing was recorded).
    WindowState state(const QWindow* window) const;

    // Scripted answers.
    bool compositor = true;
    QPoint pointer{-10000, -10000};
    /// Filled with this colour by grabScreen.
    QColor screenColour{Qt::gray};

    /// Every call in order, as "name" strings (e.g. "beginMove", "beginResize 3").
    QStringList calls;
    QList<QRect> grabbedAreas;

private:
    std::map<const QWindow*, WindowState> states_;
};

}  // namespace mirano::fakes
