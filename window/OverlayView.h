// The hint overlay shown while the pointer rests on the PiP: close button, frame-rate menu,
// the show/hide hint and the gesture hint.
#pragma once

#include <QString>
#include <QWidget>
#include <functional>

class QLabel;
class QToolButton;

namespace mirano {

class CloseButton;
class ElidedLabel;

/// Built from plain values and never changed afterwards: to show other values, build a new one.
class OverlayView : public QWidget {
    Q_OBJECT
public:
    struct Content {
        bool isZoomed = false;
        /// Display name of the trigger modifier, e.g. "⌘ Left Command".
        QString modifierName;
        int frameRate = 0;
        std::function<void()> onClose;
        /// The rate button was pressed: the host opens the frame-rate menu.
        std::function<void()> onFrameRateMenu;
    };

    explicit OverlayView(Content content, QWidget* parent = nullptr);

    const Content& content() const { return content_; }

    /// "Tap <modifier> to show/hide".
    static QString showHideText(const QString& modifierName);
    /// The one-line gesture hint for the zoom state.
    static QString gestureText(bool isZoomed);

    /// Rounds the background's corners (when the host clips to a rounded shape).
    void setCornerRadius(double radius);

    // The parts, for the host and for tests.
    CloseButton* closeButton() const { return closeButton_; }
    QToolButton* frameRateButton() const { return frameRateButton_; }
    QLabel* showHideLabel() const { return showHideLabel_; }
    ElidedLabel* gestureLabel() const { return gestureLabel_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Content content_;
    double cornerRadius_ = 0;
    CloseButton* closeButton_ = nullptr;
    QToolButton* frameRateButton_ = nullptr;
    QLabel* showHideLabel_ = nullptr;
    ElidedLabel* gestureLabel_ = nullptr;
};

/// The overlays' fonts. Sizes are in points, which in Mirano are device-independent pixels.
QFont overlayFont(double points, QFont::Weight weight, bool monospaced = false);

}  // namespace mirano
