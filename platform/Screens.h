// The displays and the pointer, in Qt's logical coordinates (top-left origin, y down).
#pragma once

#include <QObject>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <optional>
#include <vector>

namespace mirano {

struct ScreenInfo {
    /// The whole screen.
    QRectF frame;
    /// The part not covered by panels and docks.
    QRectF visibleFrame;
    /// Device pixels per logical pixel.
    double devicePixelRatio = 1.0;
    /// The output's name (as Qt and the compositor call it); may be empty.
    QString name;
    bool operator==(const ScreenInfo&) const = default;
};

/// Which screen the user works on is not the screens' business: the PiP controller finds it
/// from the focused window. Main thread only.
class Screens : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~Screens() override = default;
    /// All screens, the primary one first.
    virtual std::vector<ScreenInfo> screens() const = 0;
    /// The pointer's position.
    virtual QPointF pointerPosition() const = 0;

signals:
    /// A screen came, went, or changed its geometry or scale.
    void changed();
};

}  // namespace mirano
