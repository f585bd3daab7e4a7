// The dimmed panel laid exactly over a window on which the user drags out the part to mirror.
#pragma once

#include <QRectF>
#include <QWidget>
#include <functional>

namespace mirano {

class PanelWindowSystem;
class RegionSelectionView;

/// A frameless top-level over a rectangle (Qt global logical coordinates) that takes
/// keyboard focus. It reports once, through onRegionSelected or onCancelled, and never closes
/// itself: the owner orders it out. Main thread only.
class RegionSelectionPanel : public QWidget {
    Q_OBJECT
public:
    RegionSelectionPanel(const QRectF& contentRect, PanelWindowSystem& windowSystem);
    ~RegionSelectionPanel() override;

    /// A large enough rectangle was dragged out: normalised to the panel, top-left origin.
    std::function<void(QRectF)> onRegionSelected;
    /// The selection was cancelled (Escape) or too small.
    std::function<void()> onCancelled;

    RegionSelectionView& view() const { return *view_; }

    /// Shows the panel above normal windows and gives it keyboard focus. Without a compositing
    /// manager the screen under it is grabbed first, to be shown darkened.
    void makeKeyAndOrderFront();
    void orderOut();
    /// The generic cancel request (as Escape): reports onCancelled.
    void cancelOperation();

    /// The panel's frame.
    QRectF frame() const;
    /// Translucent dimming (a compositing manager was running when the panel was made).
    bool isTranslucent() const { return translucent_; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    PanelWindowSystem& windowSystem_;
    RegionSelectionView* view_ = nullptr;  // child widget
    bool translucent_ = false;
};

}  // namespace mirano
