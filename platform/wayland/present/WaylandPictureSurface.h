// A picture surface on Wayland: a subsurface under the panel's own surface that the capture
// thread shows the stream's pictures on, scaled by the compositor.
#pragma once

#include <QObject>
#include <QPointer>
#include <memory>

#include "platform/wayland/pipewire/FrameSink.h"

class QWindow;

namespace mirano::wayland {

class SubsurfacePresenter;

/// Follows the host's wl_surface (Qt makes a new one on every show after a hide). The panel's
/// overlays are Qt's own drawing over the picture, so the overlay image is not needed; the
/// corners are cut into the picture. Main thread only; pictures come through sink().
class WaylandPictureSurface final : public QObject, public SinkSurface {
    Q_OBJECT
public:
    /// Null, said once in the log, when the compositor cannot scale buffers (no wp_viewporter)
    /// or Qt does not run on Wayland: the panel then paints the frames itself.
    static std::shared_ptr<WaylandPictureSurface> make(QWindow& host);
    /// Takes the picture off the screen and ends the sink's work.
    ~WaylandPictureSurface() override;

    std::shared_ptr<FrameSink> sink() const override;
    void setGeometry(const QRect& area) override;
    void setOverlay(const QImage& overlay) override;
    void setOpacity(double opacity) override;
    void setCornerRadius(double radius) override;
    void setVisible(bool visible) override;
    bool liesBelowHost() const override { return true; }

private slots:
    void surfaceCreated();
    void surfaceDestroyed();

private:
    WaylandPictureSurface(QWindow& host, std::shared_ptr<SubsurfacePresenter> presenter);
    /// Surface units per Qt point of the host (1 unless Qt scales by itself).
    double surfaceScale() const;
    /// Pixels per surface unit of the host's output.
    double outputScale() const;

    QPointer<QWindow> host_;
    std::shared_ptr<SubsurfacePresenter> presenter_;
};

}  // namespace mirano::wayland
