// The content of the PiP panel: shows the frames, the overlays, and turns pointer gestures into
// the panel's signals.
#pragma once

#include <QMenu>
#include <QPointF>
#include <QPointer>
#include <QRectF>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>

#include "platform/Frame.h"
#include "platform/PictureSurface.h"

namespace mirano {

class AppSettings;
class PiPPanel;

/// Gesture logic works in the view's own Qt coordinates. Main thread only.
class CaptureView : public QWidget {
    Q_OBJECT
public:
    CaptureView(const QRectF& frame, AppSettings& settings, QWidget* parent = nullptr);
    ~CaptureView() override;

    /// Weak back reference, set by the panel.
    QPointer<PiPPanel> panel;

    /// The frame on display (the display layer's contents); shown without a copy.
    void setContents(const Frame& frame);
    const Frame& contents() const { return contents_; }

    /// The picture is drawn by the window system into `surface`, which covers the view; the
    /// overlays are then rendered into an image whenever they change and handed to it, unless
    /// the surface lies below the view, where they show as drawn. Null goes back to painting
    /// the frames set with setContents().
    void setPictureSurface(std::shared_ptr<PictureSurface> surface);
    const std::shared_ptr<PictureSurface>& pictureSurface() const { return surface_; }
    /// The overlays as last handed to the surface (null while none is shown).
    const QImage& overlayImage() const { return overlayImage_; }

    bool isZoomed() const { return isZoomed_; }
    void setZoomed(bool zoomed) { isZoomed_ = zoomed; }
    bool isPaused() const { return isPaused_; }
    void setPaused(bool paused) { isPaused_ = paused; }
    bool isCommandHeld() const { return isCommandHeld_; }
    /// Runs the change handler (hides or shows the hint overlay while hovering).
    void setCommandHeld(bool held);
    bool isHovering() const { return isHovering_; }
    bool isDraggingZoom() const { return isDraggingZoom_; }
    QPointF dragStart() const { return dragStart_; }
    bool suppressOverlay() const { return suppressOverlay_; }

    /// The hint overlay's widget while it is shown, else null.
    QWidget* overlayHostingView() const { return overlayHostingView_; }
    /// The paused overlay placed by the controller, else null. The view owns it once set
    /// (as a child widget); setting null does not delete the previous one.
    QWidget* pausedOverlayView() const { return pausedOverlayView_; }
    /// Takes the view as a child covering the bounds, above the frame and earlier overlays.
    void setPausedOverlayView(QWidget* view);

    void showOverlay();
    void updateOverlay();
    /// Builds the frame-rate menu (1, 5, 10, 24, 30, 60 fps, the current rate checked).
    QMenu* buildFrameRateMenu();
    /// Pops the frame-rate menu up at the pointer, clamped to the view.
    void showFrameRateMenu();
    /// Menu action: reports the rate through the panel.
    void selectFrameRate(int rate);

    /// (0, 0, width, height) in points.
    QRectF bounds() const;

    // Gesture entry points in view coordinates; Qt events end here. `command`: Super is held.
    void mouseEnteredView();
    void mouseExitedView();
    void mouseDownAt(QPointF point, int clickCount, bool command);
    void mouseDraggedTo(QPointF point);
    void mouseUpAt(QPointF point);

    /// The rubber band while dragging (view coordinates), else an empty rectangle.
    QRectF selectionRect() const { return selectionRect_; }
    /// The widget that draws the rubber band while dragging, else null.
    QWidget* selectionLayer() const { return selectionLayer_; }

    /// The pointer crossed the view's edge (reported once per crossing whatever the source:
    /// Qt's enter/leave events or the panel's pointer polling while it ignores the mouse).
    void setPointerInside(bool inside);
    bool isPointerInside() const { return pointerInside_; }

    /// The last menu popped up by showFrameRateMenu() while it is open, else null.
    QMenu* frameRateMenu() const { return frameRateMenu_; }

    /// Whether Command (the Super key, Qt's Meta) is among the modifiers.
    static bool isCommandModifier(Qt::KeyboardModifiers modifiers);
    /// Radius of the rounded shape the frame and overlays are clipped to.
    static constexpr double kCornerRadius = 12.0;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void childEvent(QChildEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    /// Watches a child widget and its descendants for anything that changes their pixels.
    void watchOverlay(QObject* object);
    void scheduleOverlayUpload();
    void uploadOverlay();
    void placeSurface();
    void removeOverlay();
    QPointF clampToBounds(const QPointF& point) const;
    void fitChildren();
    /// The frame-rate menu closed: the hover and the overlay's rate as they are now.
    void catchUpAfterMenu();

    AppSettings& settings_;
    Frame contents_;
    bool isZoomed_ = false;
    bool isPaused_ = false;
    bool isCommandHeld_ = false;
    bool isHovering_ = false;
    bool isDraggingZoom_ = false;
    QPointF dragStart_{0, 0};
    QRectF selectionRect_;
    bool suppressOverlay_ = false;
    QPointer<QWidget> overlayHostingView_;
    QPointer<QWidget> pausedOverlayView_;
    QPointer<QWidget> selectionLayer_;
    QPointer<QMenu> frameRateMenu_;
    bool pointerInside_ = false;
    std::shared_ptr<PictureSurface> surface_;
    QImage overlayImage_;
    bool overlayUploadPending_ = false;
    bool renderingOverlay_ = false;
};

}  // namespace mirano
