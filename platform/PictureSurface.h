// A place inside one of Mirano's panels where the capture service draws a stream's picture.
#pragma once

#include <QImage>
#include <QRect>
#include <QString>
#include <memory>
#include <optional>

class QWindow;

namespace mirano {

/// Covers a rectangle of a panel. A stream presenting into it scales its source there (fit,
/// keeping the aspect, black bars) without handing pixels to the program; the overlay image is
/// composited over every picture. Created and changed on the main thread only; the picture
/// stays when the stream pauses or goes.
class PictureSurface {
public:
    virtual ~PictureSurface() = default;
    /// Area inside the host window, Qt logical coordinates.
    virtual void setGeometry(const QRect& area) = 0;
    /// Premultiplied ARGB at the area's device pixel size, drawn over the picture; a null
    /// image removes it. Uploaded once per call.
    virtual void setOverlay(const QImage& overlay) = 0;
    /// Where the window system shows no window opacity: the picture is drawn at this opacity
    /// (over black without a compositing manager).
    virtual void setOpacity(double opacity) = 0;
    /// Clip the picture to a rounded rectangle of this radius (logical points), with
    /// transparent corners; 0 = square (a shape mask cuts the corners instead).
    virtual void setCornerRadius(double radius) = 0;
    virtual void setVisible(bool visible) = 0;
    /// The picture lies below the host's own drawing, which shows over it where the host is
    /// transparent: the overlays need not be handed over as an image.
    virtual bool liesBelowHost() const { return false; }
};

}  // namespace mirano
