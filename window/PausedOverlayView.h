// The nearly opaque layer with "Paused" shown over the PiP while it is paused.
#pragma once

#include <QWidget>

namespace mirano {

class PausedOverlayView : public QWidget {
    Q_OBJECT
public:
    explicit PausedOverlayView(QWidget* parent = nullptr);

    /// The pause symbol (text presentation), a space and "Paused".
    static QString text();

    /// Rounds the background's corners (when the host clips to a rounded shape).
    void setCornerRadius(double radius);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    double cornerRadius_ = 0;
};

}  // namespace mirano
