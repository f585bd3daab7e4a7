// The floating, non-activating panel that shows the live copy of the captured window.
#pragma once

#include <QPointer>
#include <QRectF>
#include <QSizeF>
#include <QWidget>
#include <memory>

#include "platform/EventTap.h"

namespace mirano {

class AppSettings;
class CaptureView;
class PanelWindowSystem;
class PictureSurface;

/// A frameless top-level that never takes focus by itself, floats above normal windows on every
/// desktop, stays off the taskbar, moves by a drag of its content and resizes from its edges.
/// Rectangles are Qt global logical coordinates. Main thread only.
class PiPPanel : public QWidget {
    Q_OBJECT
public:
    /// Not shown yet.
    PiPPanel(const QRectF& contentRect, PanelWindowSystem& windowSystem, AppSettings& settings);
    ~PiPPanel() override;

    CaptureView& captureView() const { return *captureView_; }

    /// Shows the panel, raised, without activating Mirano or taking focus.
    void showWithoutActivating();
    /// Shows the panel and gives it keyboard focus (for the frame-rate menu).
    void showAndActivate();

    /// Makes `popup` (a menu of the panel's, not shown yet) open as a popup of the panel where
    /// the window system tells the panel's popups from other windows.
    void preparePopup(QWidget& popup);

    /// 1.0 visible ... 0.0 invisible. The value reads back at once, also while fading.
    double opacity() const { return opacity_; }
    void setOpacity(double opacity);
    /// Fades to the value; opacity() reports the target immediately.
    void animateOpacity(double opacity);

    bool ignoresMouseEvents() const { return ignoresMouse_; }
    /// Click-through; hover is still reported. Not where the window system sees the pointer
    /// only over Mirano's own windows (Wayland).
    void setIgnoresMouseEvents(bool ignore);

    bool isMovableByWindowBackground() const { return movable_; }
    void setMovableByWindowBackground(bool movable);

    /// The panel's frame.
    QRectF frame() const;
    void setFrame(const QRectF& frame, bool display = true, bool animate = false);

    /// Kept by the window manager while the user resizes.
    void setContentAspectRatio(const QSizeF& ratio);
    QSizeF contentAspectRatio() const { return aspectRatio_; }
    void setContentMinSize(const QSizeF& size);
    QSizeF contentMinSize() const { return minSize_; }

    /// Hands the current left-button drag to the window manager to move the panel.
    void startWindowMove();
    /// Hands the current left-button drag to the window manager to resize from `edges`.
    void startWindowResize(Qt::Edges edges);
    /// The edges a press at `position` (Qt coordinates inside a panel of `size`) resizes from;
    /// none away from the border.
    static Qt::Edges resizeEdges(const QPointF& position, const QSizeF& size);
    /// Width of the border band that resizes, in points.
    static constexpr double kResizeBorder = 6.0;

    /// The picture is drawn into `surface` (over the whole content) by the window system;
    /// null: the view paints the frames itself.
    void attachPictureSurface(std::shared_ptr<PictureSurface> surface);

    /// Translucent rounded corners and window opacity (a compositing manager was running when
    /// the panel was made); otherwise a shape mask and dimmed painting.
    bool isTranslucent() const;

signals:
    /// The close button was clicked.
    void closeRequested();
    void doubleClicked();
    void mouseEntered();
    void mouseExited();
    /// A zoom rectangle was dragged out: normalised, top-left origin.
    void zoomRequested(QRectF selection);
    /// Command-double-click: back to the whole window.
    void zoomResetRequested();
    /// Every size change, programmatic ones included: the new frame size in points.
    void resized(QSizeF size);
    /// A rate was picked in the frame-rate menu.
    void frameRateChosen(int framesPerSecond);
    /// A key went down while the panel had the keyboard focus (given on a click where the
    /// window system allows it); `text` is what it typed.
    void keyPressed(const mirano::KeyEvent& event, const QString& text);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void applyOpacity(double opacity);
    /// The capture view's own drawing at `opacity`.
    void dimView(double opacity);
    void applyShape();
    void applySizeConstraints();
    void updateHoverPolling();
    void pollPointer();
    void reportSizeIfChanged();

    class Private;
    std::unique_ptr<Private> d_;
    CaptureView* captureView_ = nullptr;  // child widget, owned by Qt's parent chain
    double opacity_ = 1.0;
    bool ignoresMouse_ = false;
    bool movable_ = true;
    QSizeF aspectRatio_{0, 0};
    QSizeF minSize_{0, 0};
};

}  // namespace mirano
