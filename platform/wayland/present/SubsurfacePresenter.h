// Shows a window stream's pictures on a subsurface of a panel, scaled by the compositor: each
// picture is copied once into a buffer of ours and handed over with a viewport.
#pragma once

#include <QPoint>
#include <QRect>
#include <QSizeF>
#include <QString>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/wayland/client/WlPtr.h"
#include "platform/wayland/pipewire/FrameSink.h"
#include "platform/wayland/present/ShmBuffer.h"
#include "platform/wayland/present/ViewportGeometry.h"

struct wl_compositor;
struct wl_subcompositor;
struct wl_subsurface;
struct wp_viewport;
struct wp_viewporter;

namespace mirano::wayland {

class QtSideQueue;

/// The subsurface lies below its parent (Qt's surface of the panel, whose transparent pixels
/// let it show and whose overlays stay above it), takes no input and is desynchronised, so the
/// capture thread commits its pictures without Qt. Its Wayland objects are on a queue of its
/// own on Qt's connection, dispatched (for the buffers' releases) under the same lock as every
/// request on them. The main thread places it; the capture thread shows pictures. Thread-safe.
class SubsurfacePresenter final : public FrameSink {
public:
    /// Binds what it needs on Qt's connection; null, with `missing` naming the first global
    /// the compositor lacks, when something is missing.
    static std::shared_ptr<SubsurfacePresenter> create(QString* missing);
    ~SubsurfacePresenter() override;
    SubsurfacePresenter(const SubsurfacePresenter&) = delete;
    SubsurfacePresenter& operator=(const SubsurfacePresenter&) = delete;

    // Main thread.
    /// Puts the picture on a subsurface of `parent` (null: the parent went, so does the
    /// subsurface). Its place below the parent takes effect with the parent's next commit.
    void setParent(wl_surface* parent);
    /// Where the view lies in the parent, in surface coordinates, and its size in points with
    /// `surfaceScale` surface units per point, on a screen of `outputScale` pixels per surface
    /// unit. A new position waits for the parent's commit.
    void setPlacement(QPoint position, const QSizeF& viewSize, double surfaceScale,
                      double outputScale);
    /// Rounded corners of this radius in points.
    void setCornerRadius(double radius);
    void setVisible(bool visible);
    /// Shows the pictures at `opacity` (0...1), the last one at once.
    void setOpacity(double opacity);
    /// Destroys every Wayland object now; later calls do nothing.
    void close();

    // Capture thread.
    bool show(const MappedImage& image, const QRect& shown) override;

private:
    struct Globals;
    /// One surface with its subsurface and viewport, made together and destroyed together.
    struct Subsurface;
    SubsurfacePresenter();
    /// Everything below runs with the lock held.
    /// Copies the picture into buffers of ours and commits it; false when it could not.
    bool showNow(const MappedImage& image, const QRect& shown);
    /// Keeps the `shown` part of a picture that cannot be shown yet.
    void hold(const MappedImage& image, const QRect& shown);
    /// Shows the kept picture anew where the subsurface can show it, else commits the last one.
    void redraw();
    ShmBuffer* freeBuffer(QSize size);
    ViewportPlacement placement() const;
    /// Attaches the last picture (or nothing while hidden) with its viewport, and commits.
    void commitPicture();
    /// Shows the last picture again, from its undimmed pixels, at the current opacity.
    void redrawDimmed();

    std::mutex mutex_;
    std::unique_ptr<QtSideQueue> queue_;
    std::unique_ptr<Globals> globals_;
    std::unique_ptr<Subsurface> subsurface_;
    std::vector<std::unique_ptr<ShmBuffer>> buffers_;
    ShmBuffer* picture_ = nullptr;  // the last one shown, one of buffers_
    // Its part to show, in its pixels (the buffer holds what fills the view, maybe reduced).
    QRectF shown_;
    QPoint position_;
    QSizeF viewSize_;
    double surfaceScale_ = 1;
    double outputScale_ = 1;
    double radius_ = 0;
    bool visible_ = true;
    double opacity_ = 1;
    /// The last picture, where it came while nothing could show it or in a new shape (its
    /// `shown` part, packed rows); the next picture of that shape drops it.
    std::vector<std::uint8_t> held_;
    MappedImage heldImage_;
    QSize lastShown_;
    /// While dimmed: the last picture's pixels at full opacity.
    std::vector<std::uint8_t> undimmed_;
};

}  // namespace mirano::wayland
