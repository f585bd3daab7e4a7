// The region panel's content: the dimming, the instruction text and the rubber band.
#pragma once

#include <linux/input-event-codes.h>

#include <QPixmap>
#include <QPointF>
#include <QPointer>
#include <QRectF>
#include <QWidget>

namespace mirano {

class RegionSelectionPanel;

/// Gesture logic works in the view's own Qt coordinates. Main thread only.
class RegionSelectionView : public QWidget {
    Q_OBJECT
public:
    explicit RegionSelectionView(const QRectF& frame, QWidget* parent = nullptr);

    /// Weak back reference whose callbacks are called.
    QPointer<RegionSelectionPanel> panel;

    static QString instructionText();
    /// Escape, as a Linux (evdev) key code: the key in that position, whatever the layout.
    static constexpr int kEscapeKeyCode = KEY_ESC;

    bool isDragging() const { return isDragging_; }
    QPointF dragStart() const { return dragStart_; }
    /// The rubber band while dragging (view coordinates); empty when there is none.
    QRectF selectionRect() const { return selectionRect_; }
    bool hasSelectionLayer() const { return hasSelectionLayer_; }

    /// What lies under the panel, painted beneath the dimming (when nothing shows through).
    void setBackdrop(const QPixmap& backdrop);
    QPixmap backdrop() const { return backdrop_; }

    /// (0, 0, width, height) in points.
    QRectF bounds() const { return QRectF(0, 0, width(), height()); }

    // Gesture entry points in view coordinates. Qt events end here.
    void mouseDownAt(QPointF point);
    void mouseDraggedTo(QPointF point);
    void mouseUpAt(QPointF point);
    /// A key press by positional key code; false when not handled (passed on).
    bool keyDown(int keyCode);

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QPointF clampToBounds(const QPointF& point) const;
    void cancel();

    bool isDragging_ = false;
    QPointF dragStart_{0, 0};
    QRectF selectionRect_;
    bool hasSelectionLayer_ = false;
    QPixmap backdrop_;
};

}  // namespace mirano
