// The rubber band drawn while the user drags out a rectangle (zoom or region).
#pragma once

#include <QRectF>
#include <QWidget>

class QPainter;

namespace mirano {

/// Paints the band: white 0.15 fill, white 0.7 stroke of 1.5 points. `rect` is in the
/// painter's (top-left origin) coordinates.
void paintSelectionBand(QPainter& painter, const QRectF& rect);

/// A transparent child widget covering its parent that draws the band above every sibling;
/// it never takes mouse events.
class SelectionBand : public QWidget {
    Q_OBJECT
public:
    explicit SelectionBand(QWidget* parent);
    /// The band in this widget's (top-left origin) coordinates.
    void setBand(const QRectF& rect);
    QRectF band() const { return band_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QRectF band_;
};

}  // namespace mirano
