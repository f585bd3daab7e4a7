// The dimmed panel laid exactly over a window on which the user drags out the part to mirror.
#pragma once

#include <QRectF>
#include <QWidget>

namespace mirano {

class PanelWindowSystem;
class RegionSelectionView;

/// A frameless top-level over a rectangle (Qt global logical coordinates) that takes
/// keyboard focus. It reports once, through regionSelected() or cancelled(), and never closes
/// itself: the owner orders it out. Main thread only.
class RegionSelectionPanel : public QWidget {
    Q_OBJECT
public:
    RegionSelectionPanel(const QRectF& contentRect, PanelWindowSystem& windowSystem);
    ~RegionSelectionPanel() override;

    RegionSelectionView& view() const { return *view_; }

    /// Shows the panel above normal windows and gives it keyboard focus. Without a compositing
    /// manager the screen under it is grabbed first, to be shown darkened.
    void showAndActivate();
    /// The generic cancel request (as Escape): reports cancelled().
    void cancel();

    /// The panel's frame.
    QRectF frame() const;
    /// Translucent dimming (a compositing manager was running when the panel was made).
    bool isTranslucent() const { return translucent_; }

signals:
    /// A large enough rectangle was dragged out: normalised to the panel, top-left origin.
    void regionSelected(QRectF region);
    /// The selection was cancelled (Escape) or too small.
    void cancelled();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    PanelWindowSystem& windowSystem_;
    RegionSelectionView* view_ = nullptr;  // child widget
    bool translucent_ = false;
};

}  // namespace mirano
