// The floating, non-activating panel that shows the live copy of the captured window.
#pragma once

#include <QPointer>
#include <QRectF>
#include <QSizeF>
#include <QWidget>
#include <functional>
#include <memory>

namespace mirano {

class AppSettings;
class CaptureView;
class PanelWindowSystem;

/// A frameless top-level that never takes focus, floats above normal windows on every
/// desktop, stays off the taskbar, moves by a drag of its content and resizes from its edges.
/// All rectangles are screen points with the origin at the bottom-left of the primary screen.
/// Main thread only.
class PiPPanel : public QWidget {
    Q_OBJECT
public:
    /// The content rectangle is in screen points (bottom-left origin). Not shown yet.
    PiPPanel(const QRectF& contentRect, PanelWindowSystem& windowSystem, AppSettings& settings);
    ~PiPPanel() override;

    CaptureView& captureView() const { return *captureView_; }

    std::function<void()> onClose;
    std::function<void()> onDoubleClick;
    std::function<void()> onMouseEntered;
    std::function<void()> onMouseExited;
    /// A zoom rectangle was dragged out: normalised, top-left origin.
    std::function<void(QRectF)> onZoom;
    std::function<void()> onResetZoom;
    /// Every size change, programmatic ones included: the new frame size in points.
    std::function<void(QSizeF)> onResize;
    std::function<void(int)> onFrameRateChanged;

    /// Shows the panel without activating Mirano or taking focus.
    void orderFront();
    void orderOut();
    /// Shows the panel and gives it keyboard focus (for the frame-rate menu).
    void makeKeyAndOrderFront();
    bool isOrderedFront() const;

    /// 1.0 visible ... 0.0 invisible. The value reads back at once, also while animating.
    double alphaValue() const { return alpha_; }
    void setAlphaValue(double alpha);
    /// Fades to the value; alphaValue() reports the target immediately.
    void animateAlphaValue(double alpha);

    bool ignoresMouseEvents() const { return ignoresMouse_; }
    /// Click-through; hover is still reported.
    void setIgnoresMouseEvents(bool ignore);

    bool isMovableByWindowBackground() const { return movable_; }
    void setMovableByWindowBackground(bool movable);

    /// The panel's frame in screen points.
    QRectF frame() const;
    void setFrame(const QRectF& frame, bool display = true, bool animate = false);

    /// Kept by the window manager while the user resizes.
    void setContentAspectRatio(const QSizeF& ratio);
    QSizeF contentAspectRatio() const { return aspectRatio_; }
    void setContentMinSize(const QSizeF& size);
    QSizeF contentMinSize() const { return minSize_; }

    /// Converts a screen point (bottom-left origin) into panel coordinates (bottom-left origin).
    QPointF convertPointFromScreen(const QPointF& screenPoint) const;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    class Private;
    std::unique_ptr<Private> d_;
    CaptureView* captureView_ = nullptr;  // child widget, owned by Qt's parent chain
    double alpha_ = 1.0;
    bool ignoresMouse_ = false;
    bool movable_ = true;
    QSizeF aspectRatio_{0, 0};
    QSizeF minSize_{0, 0};
};

}  // namespace mirano
